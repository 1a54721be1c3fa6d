#include "signalling/isdn/isdn_link.h"

#include <iostream>

#include "signalling/isdn/dlogframe.h"

namespace ISDN {

namespace {

// The trace level from which every message is printed.
int const message_trace = 3;
// The period of the fault lines when the owner sends the reports itself.
unsigned const default_fault_period_ms = 10000;

}  // namespace

IsdnLink::IsdnLink(Slot& slot, Channel& channel, Settings const& settings, TimeSource& time)
    : slot_(slot),
      channel_(channel),
      settings_(settings),
      timers_(time.MakeTimers(*this, timer_count)),
      lapd_(settings.lapd, *this, time) {}

void IsdnLink::Activate() {
    lapd_.Establish();
    if (settings_.report_ms > 0) timers_->Start(report_timer, settings_.report_ms);
}

void IsdnLink::Deactivate() {
    timers_->Stop(report_timer);
    bool const down = lapd_.state() == Lapd::State::tei_assigned;
    lapd_.Release();
    if (down) timers_->Start(deactivated_timer, 0);
}

void IsdnLink::OnTimer(unsigned index) {
    switch (index) {
        case report_timer:
            return OnReport();
        case deactivated_timer:
            return slot_.OnDeactivated();
        default:
            return OnFaultPeriod();
    }
}

bool IsdnLink::UserData(std::vector<char> const& message) {
    auto const* octets = reinterpret_cast<uint8_t const*>(message.data());
    switch (lapd_.Send(octets, message.size())) {
        case Lapd::SendResult::queued:
            Trace("tx", octets, message.size());
            return true;
        case Lapd::SendResult::not_established:
            std::cerr << slot_ << ": layer-3 message refused: the link is "
                      << NameOf(lapd_.state()) << std::endl;
            return false;
        case Lapd::SendResult::too_long:
            std::cerr << slot_ << ": layer-3 message of " << message.size()
                      << " octets refused: longer than N201 (" << settings_.lapd.n201 << ")"
                      << std::endl;
            return false;
        case Lapd::SendResult::queue_full:
            std::cerr << slot_ << ": layer-3 message refused: the link is congested, "
                      << lapd_.waiting() << " messages wait" << std::endl;
            return false;
    }
    return false;
}

ACP::IsdnLinkInfo IsdnLink::Info() const {
    Lapd::Counters const& c = lapd_.counters();
    ACP::IsdnLinkInfo info;
    info.set_side(settings_.lapd.side == Side::user ? ACP::IsdnSide::user
                                                     : ACP::IsdnSide::network);
    info.set_msuTxCount(int(c.tx_i));
    info.set_msuRxCount(int(c.rx_i));
    info.set_mT200(int(settings_.lapd.t200_ms));
    info.set_mT203(int(settings_.lapd.t203_ms));
    info.set_errors(int(c.errors));
    info.set_retrains(int(c.retrains));
    info.set_rejected(int(c.rejected));
    info.set_badconfirm(int(c.bad_confirm));
    info.set_outOverflows(int(c.out_overflows));
    info.set_ackOverflows(int(c.ack_overflows));
    info.set_lapdState(ACP::LAPDState::NamedNumber(lapd_.state()));
    info.set_rc(int(lapd_.rc()));
    info.set_peerBusy(lapd_.peer_busy());
    info.set_ownBusy(lapd_.own_busy());
    info.set_rejException(lapd_.reject_exception());
    info.set_ackPending(lapd_.ack_pending());
    info.set_l3Initiated(lapd_.l3_initiated());
    info.set_establishable(lapd_.establishable());
    info.set_queuedUpRQ(lapd_.queued_up());
    info.set_retrRQ(lapd_.retransmitting());
    info.set_ackRQ(lapd_.poll_outstanding());
    info.set_t200run(lapd_.t200_running());
    info.set_t203run(lapd_.t203_running());
    info.set_vs(int(lapd_.vs()));
    info.set_va(int(lapd_.va()));
    info.set_vr(int(lapd_.vr()));
    info.set_queueOut(int(lapd_.waiting()));
    info.set_queueAck(int(lapd_.unacked()));
    return info;
}

void IsdnLink::OnReport() {
    timers_->Start(report_timer, settings_.report_ms);
    LGCP::IoctlResponse response;
    response.select_isdnLinkInfo(Info());
    slot_.OnIoctlResponse(response);
}

void IsdnLink::LapdTransmit(uint8_t const* frame, size_t size) { channel_.SendFrame(frame, size); }

void IsdnLink::LapdUp() { slot_.OnActivated(); }

void IsdnLink::LapdDown() { slot_.OnDeactivated(); }

void IsdnLink::LapdData(uint8_t const* message, size_t size) {
    Trace("rx", message, size);
    auto const* chars = reinterpret_cast<char const*>(message);
    slot_.OnUserData(std::vector<char>(chars, chars + size));
}

void IsdnLink::LapdCongestion(bool congested) {
    if (!settings_.status_reports) return;
    LGCP::IoctlResponse response;
    response.select_isdnLinkStatus(congested ? LGCP::IsdnLinkStatus::congested
                                             : LGCP::IsdnLinkStatus::normal);
    slot_.OnIoctlResponse(response);
}

size_t IsdnLink::KindOf(ErrorCause cause) {
    if (cause == ErrorCause::invalid_frame) return 0;
    return size_t(char(cause) - 'A' + 1);
}

unsigned IsdnLink::FaultPeriod() const {
    return settings_.report_ms > 0 ? settings_.report_ms : default_fault_period_ms;
}

void IsdnLink::LapdError(ErrorCause cause, char const* text) {
    Fault& fault = faults_[KindOf(cause)];
    fault.text = text;
    if (fault.written) {
        ++fault.more;
        return;
    }
    fault.written = true;
    WriteFault(cause, text, 0);
    if (!timers_->Running(fault_timer)) timers_->Start(fault_timer, FaultPeriod());
}

void IsdnLink::OnFaultPeriod() {
    bool again = false;
    for (size_t kind = 0; kind < fault_kinds; ++kind) {
        Fault& fault = faults_[kind];
        // A kind that came again has its line now, which stands for the new
        // period; one that did not may write at once when it comes.
        fault.written = fault.more > 0;
        if (fault.more == 0) continue;
        ErrorCause const cause = kind == 0 ? ErrorCause::invalid_frame : ErrorCause('A' + kind - 1);
        WriteFault(cause, fault.text, fault.more);
        fault.more = 0;
        again = true;
    }
    if (again) timers_->Start(fault_timer, FaultPeriod());
}

void IsdnLink::WriteFault(ErrorCause cause, char const* text, unsigned more) const {
    std::clog << slot_ << ": ";
    if (cause == ErrorCause::invalid_frame) {
        std::clog << "LAPD invalid frame dropped: " << text;
    } else {
        std::clog << "LAPD error " << NameOf(cause) << ": " << text;
    }
    if (more > 0) std::clog << " (" << more << " more in " << FaultPeriod() << " ms)";
    std::clog << std::endl;
}

void IsdnLink::Trace(char const* direction, uint8_t const* message, size_t size) const {
    if (settings_.log < message_trace) return;
    std::clog << slot_ << ": ";
    dlogframe(std::clog, direction, message, size);
}

}  // namespace ISDN
