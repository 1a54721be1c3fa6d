#include "signalling/isdn/pstn_isdn_slot.h"

#include <iostream>

#include "signalling/isdn/isdn_factory.h"

namespace {

int const primary_rate_trunks = 4;
int const d_timeslot = 16;
int const basic_access_ports = 8;
int const d_channel = 2;

}  // namespace

PstnIsdnSlot* PstnIsdnSlot::New(LGCP::IsdnParams const& params, char const* header) {
    long const trunk = params.get_trunk().getValue();
    bool const basic_access = params.get_type().asInt() == LGCP::IsdnType::bri;
    long const count = basic_access ? basic_access_ports : primary_rate_trunks;
    if (trunk < 0 || trunk >= count) {
        std::cerr << header << "no " << (basic_access ? "BRI port " : "E1 trunk ") << trunk
                  << " for an ISDN link" << std::endl;
        return nullptr;
    }
    int const line = basic_access ? int(4 * trunk + d_channel)
                                   : int(LineSlot::timeslots * trunk + d_timeslot);
    ISDN::IsdnLink::Settings settings = ISDN::LinkSettings(params);
    settings.report_ms = 0;
    settings.status_reports = true;
    return new PstnIsdnSlot(line, basic_access, settings);
}

PstnIsdnSlot::PstnIsdnSlot(int line, bool basic_access, ISDN::IsdnLink::Settings const& settings)
    : HdlcLinkSlot(line, basic_access ? HDLC::bri : HDLC::data),
      basic_access_(basic_access),
      link_(*this, *this, settings) {}

bool PstnIsdnSlot::IActivate(TERM::TermActivateParams const&) {
    if (!hdlc_.Activate()) {
        ReportDeactivated();
        return true;
    }
    link_.Activate();
    StartReports();
    return true;
}

bool PstnIsdnSlot::IDeactivate() {
    link_.Deactivate();
    StopReports();
    return true;
}

bool PstnIsdnSlot::IUserData(std::vector<char> const& data) { return link_.UserData(data); }

void PstnIsdnSlot::OnTrunkStatus(unsigned trunk, ACP::TrunkState::NamedNumber const& state) {
    // The trunk numbers of the status signals are those of the E1 trunks.
    if (!basic_access_) LineSlot::OnTrunkStatus(trunk, state);
}

void PstnIsdnSlot::Report() {
    LGCP::IoctlResponse response;
    response.select_isdnLinkInfo(link_.Info());
    OnIoctlResponse(response);
    HdlcLinkSlot::Report();
}
