#include "signalling/isdn/pstn_isdn_slot.h"

#include <iostream>

#include "signalling/isdn/isdn_factory.h"

namespace {

int const primary_rate_trunks = 4;
int const d_timeslot = 16;
int const basic_access_ports = 8;
int const d_channel = 2;
// The switch channels of a port: 4 x port + channel.
int const bri_channels = 4;

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
    ISDN::IsdnLink::Settings settings = ISDN::LinkSettings(params);
    settings.report_ms = 0;
    settings.status_reports = true;
    return new PstnIsdnSlot(int(trunk), basic_access, settings);
}

PstnIsdnSlot::PstnIsdnSlot(int trunk, bool basic_access, ISDN::IsdnLink::Settings const& settings)
    : HdlcLinkSlot(basic_access ? bri_channels * trunk + d_channel
                                : LineSlot::timeslots * trunk + d_timeslot,
                   basic_access ? ACP::TrunkType::bri : ACP::TrunkType::e1, trunk,
                   basic_access ? d_channel : d_timeslot, basic_access ? Mcc::bri : Mcc::data),
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

void PstnIsdnSlot::Report() {
    LGCP::IoctlResponse response;
    response.select_isdnLinkInfo(link_.Info());
    OnIoctlResponse(response);
    HdlcLinkSlot::Report();
}
