#include "signalling/isdn/isdn_link.h"

#include <iostream>

#include "signalling/isdn/dlogframe.h"

namespace ISDN {

namespace {

// The trace level from which every message is printed.
int const message_trace = 3;

}  // namespace

IsdnLink::IsdnLink(Slot& slot, Channel& channel, Settings const& settings)
    : slot_(slot), channel_(channel), settings_(settings), lapd_(settings.lapd, *this) {}

void IsdnLink::Activate() {
    lapd_.Establish();
    if (settings_.report_ms > 0) report_.set(settings_.report_ms, &IsdnLink::OnReport, this);
}

void IsdnLink::Deactivate() {
    report_.reset();
    bool const down = lapd_.state() == Lapd::State::tei_assigned;
    lapd_.Release();
    if (down) deactivated_.set(0, &IsdnLink::OnDeactivatedLater, this);
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
    report_.set(settings_.report_ms, &IsdnLink::OnReport, this);
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

void IsdnLink::LapdError(char code, char const* text) {
    std::clog << slot_ << ": LAPD error " << code << ": " << text << std::endl;
}

void IsdnLink::Trace(char const* direction, uint8_t const* message, size_t size) const {
    if (settings_.log < message_trace) return;
    std::clog << slot_ << ": ";
    dlogframe(std::clog, direction, message, size);
}

}  // namespace ISDN
