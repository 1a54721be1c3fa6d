#include "signalling/pstn_slot.h"

#include <iostream>

#include "runtime/log/ext.h"
#include "signalling/signalling_config.h"

namespace {

ACP::SS7State::NamedNumber StateOf(Ss7::Mtp2Link::State state) {
    using S = Ss7::Mtp2Link::State;
    switch (state) {
        case S::idle:
            return ACP::SS7State::idle;
        case S::not_aligned:
            return ACP::SS7State::not_aligned;
        case S::aligned:
            return ACP::SS7State::aligned;
        case S::proving:
            return ACP::SS7State::proving;
        case S::aligned_ready:
            return ACP::SS7State::aligned_ready;
        case S::in_service:
            break;
    }
    return ACP::SS7State::worked;
}


}  // namespace

PstnSlot::PstnSlot(int line, LGCP::SS7Params const& params)
    : HdlcLinkSlot(line, Mcc::ss7),
      slc_(params.get_slc().getValue()),
      dpc_(params.get_dpc().getValue()),
      opc_(params.get_opc().getValue()),
      emergency_(params.get_emergency()),
      link_(*this, signallingConfig().ss7) {}

PstnSlot::~PstnSlot() { link_.Stop(); }

bool PstnSlot::IActivate(TERM::TermActivateParams const&) {
    if (!hdlc_.Activate()) {
        ReportDeactivated();
        return true;
    }
    std::clog << ext::header(this) << ext::shortinfo(this) << ": opc " << opc_ << " on timeslot "
              << timeslot() << " of trunk " << trunk()
              << ", channel " << hdlc_.channel() << (emergency_ ? ", emergency" : "")
              << std::endl;
    link_.Start(emergency_);
    StartReports();
    return true;
}

bool PstnSlot::IDeactivate() {
    link_.Stop();
    StopReports();
    ReportDeactivated();
    return true;
}

bool PstnSlot::IUserData(std::vector<char> const& data) {
    std::string reason;
    if (link_.Send(reinterpret_cast<uint8_t const*>(data.data()), data.size(), reason))
        return true;
    std::cerr << ext::header(this) << "userData of " << data.size() << " octets refused: "
              << reason << std::endl;
    return false;
}

bool PstnSlot::Ioctl(LGCP::IoctlParams const& params) {
    if (params.ss7RqBSN_isSelected()) {
        LGCP::IoctlResponse response;
        response.select_ss7BSN(link_.bsn());
        OnIoctlResponse(response);
        return true;
    }
    if (!params.ss7Log_isSelected()) return false;
    LGCP::SS7L2Log const& log = params.get_ss7Log();
    Ss7::Mtp2Link::Traces& traces = link_.traces();
    traces.state = log.get_state();
    traces.raw_receive = log.get_raw_receive();
    traces.raw_transmit = log.get_raw_transmit();
    traces.mtp_transmit = log.get_mtp_transmit();
    traces.mtp_receive = log.get_mtp_receive();
    traces.mtp_activate = log.get_mtp_activate();
    traces.timers = log.get_timers();
    traces.msu_processing = log.get_msu_processing();
    return true;
}

void PstnSlot::OnFrame(uint8_t const* frame, size_t size) { link_.Receive(frame, size); }

void PstnSlot::Transmit(uint8_t const* unit, size_t size) { hdlc_.Send(unit, size); }

void PstnSlot::PutShortInfo(std::ostream& os) const {
    os << "SS7/L2 dpc=" << dpc_ << ", slc=" << slc_ << ", trunk=" << line();
}

void PstnSlot::OnTrace(std::string const& line) {
    std::clog << ext::header(this) << ext::shortinfo(this) << ": " << line << std::endl;
}

void PstnSlot::OnMessage(uint8_t const* msu, size_t size) {
    OnUserData(std::vector<char>(msu, msu + size));
}

void PstnSlot::OnInService() {
    std::clog << ext::header(this) << ext::shortinfo(this) << ": link in service: ";
    link_.Print(std::clog);
    std::clog << std::endl;
    OnActivated();
}

void PstnSlot::OnOutOfService() {
    std::clog << ext::header(this) << ext::shortinfo(this) << ": link out of service" << std::endl;
    OnDeactivated();
}

void PstnSlot::OnLineDown() {
    if (link_.state() == Ss7::Mtp2Link::State::idle) return;
    link_.Stop();
    OnOutOfService();
}

void PstnSlot::Report() {
    Ss7::Mtp2Link::Counters const& c = link_.counters();
    unsigned const period = signallingConfig().report;
    LGCP::IoctlResponse response;
    ACP::SS7LinkInfo& info = response.select_ss7LinkInfo();
    info.set_msuTxCount(Count(c.msu_tx));
    info.set_msuRxCount(Count(c.msu_rx));
    info.set_octetsTx(Count(c.octets_tx));
    info.set_octetsRx(Count(c.octets_rx));
    // Octets per second over the last period.
    info.set_speedRx(Count((c.octets_rx - last_octets_rx_) * 1000 / period));
    info.set_speedTx(Count((c.octets_tx - last_octets_tx_) * 1000 / period));
    info.set_overflowCntr(Count(c.overflow));
    info.set_rtbSize(Count(link_.rtb_size()));
    info.set_repeatCntr(Count(c.repeated));
    info.set_badSeqCntr(Count(c.bad_sequence + c.bad_units));
    info.set_ss7state(StateOf(link_.state()));
    last_octets_rx_ = c.octets_rx;
    last_octets_tx_ = c.octets_tx;
    OnIoctlResponse(response);
    HdlcLinkSlot::Report();
}
