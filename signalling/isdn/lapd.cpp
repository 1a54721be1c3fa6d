#include "signalling/isdn/lapd.h"

namespace ISDN {

namespace {

uint8_t Next(uint8_t v) { return uint8_t((v + 1) & 0x7F); }

}  // namespace

LapdParams LinkParams(bool basic_access, Side side) {
    LapdParams params;
    params.side = side;
    params.k = basic_access ? 1 : 7;
    return params;
}

char const* NameOf(Lapd::State state) {
    static char const* const names[] = {
        "tei-unassigned",         "tei-assign-awaiting", "tei-establish-awaiting",
        "tei-assigned",           "awaiting-establishment", "awaiting-release",
        "multiple-frame-established", "timer-recovery"};
    return names[size_t(state)];
}

Lapd::Lapd(LapdParams const& params, Notify& notify)
    : params_(params), address_{params.side, params.sapi, params.tei}, notify_(notify) {}

// Layer-3 requests.

void Lapd::Establish() {
    establishable_ = true;
    switch (state_) {
        case State::awaiting_release:
            t200_.reset();
            EnterReleased();
            [[fallthrough]];
        case State::tei_assigned:
            EstablishDataLink();
            l3_initiated_ = true;
            break;
        case State::awaiting_establishment:
            l3_initiated_ = true;
            break;
        default:  // already established
            break;
    }
}

void Lapd::Release() {
    establishable_ = false;
    if (state_ != State::awaiting_establishment && state_ != State::established &&
        state_ != State::timer_recovery)
        return;
    DiscardQueue();
    rc_ = 0;
    TransmitU(FrameKind::DISC, true, true);
    t203_.reset();
    StartT200();
    state_ = State::awaiting_release;
    CheckCongestion();
}

void Lapd::LineDown() {
    if (state_ == State::tei_assigned) return;
    DiscardQueue();
    t200_.reset();
    EnterReleased();
    CheckCongestion();
}

Lapd::SendResult Lapd::Send(uint8_t const* message, size_t size) {
    if (state_ != State::awaiting_establishment && state_ != State::established &&
        state_ != State::timer_recovery)
        return SendResult::not_established;
    if (size > params_.n201) return SendResult::too_long;
    if (waiting() >= params_.queue_limit) {
        ++counters_.out_overflows;
        return SendResult::queue_full;
    }
    queue_.emplace_back(message, message + size);
    SendQueued();
    if (waiting() > 0 && unacked() >= params_.k) ++counters_.ack_overflows;
    CheckCongestion();
    return SendResult::queued;
}

// Frames from the peer.

void Lapd::Receive(uint8_t const* octets, size_t size) {
    Frame const f = Parse(params_.side, octets, size);
    if (!f.addressed) {
        // Too short to be a frame at all: dropped, only counted.
        Error('N', "frame shorter than its address and control field");
        return;
    }
    if (f.sapi != params_.sapi || f.tei != params_.tei) return;  // another data link's
    switch (f.kind) {
        case FrameKind::invalid:
            if (f.truncated) return Reject('N', "frame shorter than its control field");
            return Reject('L', "undefined control field");
        case FrameKind::I:
            if (!f.command) return Reject('L', "I-frame sent as a response");
            if (f.info_size > params_.n201) return Reject('O', "I-frame longer than N201");
            OnI(f, octets + f.info_at);
            break;
        case FrameKind::RR:
        case FrameKind::RNR:
        case FrameKind::REJ:
            if (f.info_size != 0) return Reject('M', "supervisory frame with information");
            OnSupervisory(f);
            break;
        case FrameKind::SABME:
        case FrameKind::DISC:
        case FrameKind::UA:
        case FrameKind::DM: {
            bool const must_command = f.kind == FrameKind::SABME || f.kind == FrameKind::DISC;
            if (f.info_size != 0) return Reject('M', "unnumbered frame with information");
            if (f.command != must_command) return Reject('L', "frame with the wrong C/R bit");
            if (f.kind == FrameKind::SABME) OnSabme(f);
            if (f.kind == FrameKind::DISC) OnDisc(f);
            if (f.kind == FrameKind::UA) OnUa(f);
            if (f.kind == FrameKind::DM) OnDm(f);
            break;
        }
        case FrameKind::FRMR:
            OnFrmr(f);
            break;
        default:  // UI and XID: no unacknowledged transfer or parameter negotiation
            break;
    }
    CheckCongestion();
}

void Lapd::Reject(char code, char const* text) {
    Error(code, text);
    if (state_ == State::established || state_ == State::timer_recovery) {
        ++counters_.retrains;
        EstablishDataLink();
        l3_initiated_ = false;
    }
    CheckCongestion();
}

void Lapd::OnI(Frame const& f, uint8_t const* info) {
    if (state_ != State::established && state_ != State::timer_recovery) return;
    if (f.ns == vr_) {
        vr_ = Next(vr_);
        reject_exception_ = false;
        ++counters_.rx_i;
        notify_.LapdData(info, f.info_size);
        if (f.pf) {
            TransmitS(FrameKind::RR, false, true);
            ack_pending_ = false;
        } else {
            ack_pending_ = true;
        }
    } else if (reject_exception_) {
        if (f.pf) TransmitS(FrameKind::RR, false, true);
    } else {
        reject_exception_ = true;
        TransmitS(FrameKind::REJ, false, f.pf);
        ack_pending_ = false;
    }
    if (!NrValid(f.nr)) return NrError();
    if (state_ == State::timer_recovery) {
        Acknowledge(f.nr);
    } else {
        UpdateAck(f.nr);
        SendQueued();
    }
    SendAck();
}

void Lapd::OnSupervisory(Frame const& f) {
    if (state_ != State::established && state_ != State::timer_recovery) return;
    peer_busy_ = f.kind == FrameKind::RNR;
    if (f.kind == FrameKind::REJ) ++counters_.rejected;
    if (f.command && f.pf) {
        EnquiryResponse();
    } else if (!f.command && f.pf) {
        if (state_ == State::established) Error('A', "final bit not asked for");
    }
    if (!NrValid(f.nr)) return NrError();

    if (state_ == State::timer_recovery) {
        Acknowledge(f.nr);
        if (!f.command && f.pf) {
            // The answer to our poll: back to normal, sending again from N(R).
            poll_outstanding_ = false;
            t200_.reset();
            StartT203();
            Retransmit();
            rc_ = 0;
            state_ = State::established;
            SendQueued();
        }
        SendAck();
        return;
    }
    if (f.kind == FrameKind::RR) {
        UpdateAck(f.nr);
    } else {
        // RNR holds the I-frames until the peer is ready; REJ asks for all
        // from N(R) again.
        Acknowledge(f.nr);
        t200_.reset();
        StartT203();
        if (f.kind == FrameKind::REJ) Retransmit();
    }
    SendQueued();
    SendAck();
}

void Lapd::UpdateAck(uint8_t nr) {
    if (peer_busy_) {
        Acknowledge(nr);
    } else if (nr == vs_high_) {
        Acknowledge(nr);
        t200_.reset();
        StartT203();
    } else if (nr != va_) {
        Acknowledge(nr);
        StartT200();
    }
}

void Lapd::OnSabme(Frame const& f) {
    switch (state_) {
        case State::tei_assigned:
            if (!establishable_) return TransmitU(FrameKind::DM, false, f.pf);
            TransmitU(FrameKind::UA, false, f.pf);
            ClearExceptions();
            EnterEstablished(true);
            break;
        case State::awaiting_establishment:
            TransmitU(FrameKind::UA, false, f.pf);  // both ends asked at once
            break;
        case State::awaiting_release:
            TransmitU(FrameKind::DM, false, f.pf);
            break;
        default: {  // the peer resets the link
            TransmitU(FrameKind::UA, false, f.pf);
            ClearExceptions();
            Error('F', "peer re-established the link");
            ++counters_.retrains;
            bool const lost = vs_ != va_;
            if (lost) DiscardQueue();
            EnterEstablished(lost);
            break;
        }
    }
}

void Lapd::OnDisc(Frame const& f) {
    switch (state_) {
        case State::tei_assigned:
        case State::awaiting_establishment:
            TransmitU(FrameKind::DM, false, f.pf);
            break;
        case State::awaiting_release:
            TransmitU(FrameKind::UA, false, f.pf);
            break;
        default:
            DiscardQueue();
            TransmitU(FrameKind::UA, false, f.pf);
            t200_.reset();
            EnterReleased();
            break;
    }
}

void Lapd::OnUa(Frame const& f) {
    if (!f.pf) return Error('D', "UA without the final bit");
    switch (state_) {
        case State::awaiting_establishment: {
            bool indicate = l3_initiated_;
            if (!l3_initiated_ && vs_ != va_) {
                DiscardQueue();
                indicate = true;
            }
            t200_.reset();
            EnterEstablished(indicate);
            break;
        }
        case State::awaiting_release:
            t200_.reset();
            EnterReleased();
            break;
        default:
            Error('C', "UA not asked for");
            break;
    }
}

void Lapd::OnDm(Frame const& f) {
    switch (state_) {
        case State::awaiting_establishment:
            if (!f.pf) return;
            DiscardQueue();
            t200_.reset();
            EnterReleased();
            break;
        case State::awaiting_release:
            if (!f.pf) return;
            t200_.reset();
            EnterReleased();
            break;
        case State::established:
        case State::timer_recovery:
            if (f.pf) return Error('B', "DM with the final bit not asked for");
            Reestablish('E', "peer asks for establishment");
            break;
        default:
            break;
    }
}

void Lapd::OnFrmr(Frame const&) {
    if (state_ == State::established || state_ == State::timer_recovery)
        Reestablish('K', "FRMR received");
}

void Lapd::Reestablish(char code, char const* text) {
    Error(code, text);
    ++counters_.retrains;
    EstablishDataLink();
    l3_initiated_ = false;
}

// Timers.

void Lapd::OnT200() {
    switch (state_) {
        case State::established:
            rc_ = 0;
            if (peer_busy_ || unacked() == 0) {
                TransmitEnquiry();
            } else {
                RetransmitLast();
            }
            ++rc_;
            state_ = State::timer_recovery;
            break;
        case State::timer_recovery:
            if (rc_ >= params_.n200) {
                Reestablish('I', "no answer to N200 polls");
                break;
            }
            if (peer_busy_ || unacked() == 0) {
                TransmitEnquiry();
            } else {
                RetransmitLast();
            }
            ++rc_;
            break;
        case State::awaiting_establishment:
            if (rc_ >= params_.n200) {
                Error('G', "no answer to N200 SABME");
                DiscardQueue();
                EnterReleased();
                break;
            }
            ++rc_;
            TransmitU(FrameKind::SABME, true, true);
            StartT200();
            break;
        case State::awaiting_release:
            if (rc_ >= params_.n200) {
                Error('H', "no answer to N200 DISC");
                EnterReleased();
                break;
            }
            ++rc_;
            TransmitU(FrameKind::DISC, true, true);
            StartT200();
            break;
        default:
            break;
    }
    CheckCongestion();
}

void Lapd::OnT203() {
    if (state_ != State::established) return;
    rc_ = 0;
    TransmitEnquiry();
    state_ = State::timer_recovery;
}

// Procedures.

void Lapd::EstablishDataLink() {
    ClearExceptions();
    rc_ = 0;
    TransmitU(FrameKind::SABME, true, true);
    t203_.reset();
    StartT200();
    state_ = State::awaiting_establishment;
}

void Lapd::EnterEstablished(bool indicate) {
    vs_ = va_ = vr_ = vs_high_ = 0;
    rc_ = 0;
    poll_outstanding_ = false;
    StartT203();
    state_ = State::established;
    if (indicate) notify_.LapdUp();
    SendQueued();
}

void Lapd::EnterReleased() {
    t203_.reset();
    ClearExceptions();
    poll_outstanding_ = false;
    state_ = State::tei_assigned;
    notify_.LapdDown();
}

void Lapd::ClearExceptions() {
    peer_busy_ = false;
    reject_exception_ = false;
    ack_pending_ = false;
}

void Lapd::DiscardQueue() {
    queue_.clear();
    va_ = vs_high_ = vs_;
}

void Lapd::Acknowledge(uint8_t nr) {
    // The peer may acknowledge frames that are being sent again.
    size_t const sent = unacked();
    size_t const count = size_t((nr - va_) & 0x7F);
    queue_.erase(queue_.begin(), queue_.begin() + long(count));
    va_ = nr;
    if (count > sent) vs_ = va_;
}

void Lapd::NrError() {
    ++counters_.bad_confirm;
    Reestablish('J', "N(R) outside the window");
}

void Lapd::SendQueued() {
    if (state_ != State::established) return;
    while (!peer_busy_ && unacked() < params_.k && unacked() < queue_.size()) {
        TransmitI(unacked(), false);
        if (!t200_.is_running()) {
            t203_.reset();
            StartT200();
        }
    }
}

void Lapd::SendAck() {
    if (!ack_pending_) return;
    ack_pending_ = false;
    TransmitS(FrameKind::RR, false, false);
}

void Lapd::TransmitEnquiry() {
    TransmitS(FrameKind::RR, true, true);
    ack_pending_ = false;
    poll_outstanding_ = true;
    StartT200();
}

void Lapd::EnquiryResponse() {
    TransmitS(FrameKind::RR, false, true);
    ack_pending_ = false;
}

void Lapd::RetransmitLast() {
    vs_ = uint8_t((vs_ - 1) & 0x7F);
    TransmitI(unacked(), true);
    poll_outstanding_ = true;
    StartT200();
}

void Lapd::TransmitI(size_t index, bool p) {
    Octets const& message = queue_[index];
    BuildI(frame_, address_, vs_, vr_, p, message.data(), message.size());
    if (vs_ == vs_high_) vs_high_ = Next(vs_high_);
    vs_ = Next(vs_);
    ack_pending_ = false;
    ++counters_.tx_i;
    notify_.LapdTransmit(frame_.data(), frame_.size());
}

void Lapd::TransmitS(FrameKind kind, bool command, bool pf) {
    BuildS(frame_, address_, kind, command, vr_, pf);
    notify_.LapdTransmit(frame_.data(), frame_.size());
}

void Lapd::TransmitU(FrameKind kind, bool command, bool pf) {
    BuildU(frame_, address_, kind, command, pf);
    notify_.LapdTransmit(frame_.data(), frame_.size());
}

void Lapd::Error(char code, char const* text) {
    ++counters_.errors;
    notify_.LapdError(code, text);
}

void Lapd::CheckCongestion() {
    bool const now = peer_busy_ || waiting() >= params_.queue_limit;
    if (now == congested_) return;
    congested_ = now;
    notify_.LapdCongestion(now);
}

void Lapd::Print(std::ostream& os) const {
    os << NameOf(state_) << " vs " << unsigned(vs_) << " va " << unsigned(va_) << " vr "
       << unsigned(vr_) << " rc " << rc_ << " queue " << waiting() << '/' << unacked();
    if (peer_busy_) os << " peer-busy";
    if (reject_exception_) os << " reject";
    if (ack_pending_) os << " ack-pending";
    if (t200_.is_running()) os << " T200";
    if (t203_.is_running()) os << " T203";
}

}  // namespace ISDN
