#include "signalling/isdn/lapd.h"

namespace ISDN {

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

char const* NameOf(ErrorCause cause) {
    static char const* const letters[] = {"A", "B", "C", "D", "E", "F", "G", "H",
                                          "I", "J", "K", "L", "M", "N", "O"};
    if (cause == ErrorCause::invalid_frame) return "invalid frame";
    return letters[char(cause) - 'A'];
}

Lapd::Lapd(LapdParams const& params, Notify& notify, TimeSource& time)
    : params_(params),
      address_{params.side, params.sapi, params.tei},
      notify_(notify),
      timers_(time.MakeTimers(*this, timer_count)) {}

// Layer-3 requests.

void Lapd::Establish() {
    establishable_ = true;
    switch (state_) {
        case State::awaiting_release:
            StopT200();
            EnterReleased();
            [[fallthrough]];
        case State::tei_assigned:
            EstablishDataLink();
            l3_initiated_ = true;
            break;
        case State::awaiting_establishment:
            // Layer 3 now owns the establishment: the messages it queued
            // before are given up, so that none is sent again with a new
            // N(S) that the peer could take a second time.
            DiscardQueue();
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
    StopT203();
    StartT200();
    state_ = State::awaiting_release;
    CheckCongestion();
}

void Lapd::LineDown() {
    if (state_ == State::tei_assigned) return;
    DiscardQueue();
    StopT200();
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
    if (!f.addressed) return Invalid("frame shorter than its address and control field");
    if (f.sapi != params_.sapi || f.tei != params_.tei) return;  // another data link's
    switch (f.kind) {
        case FrameKind::invalid:
            // An I or supervisory frame without its second control octet is
            // shorter than a frame with sequence numbers can be: invalid,
            // discarded without any action on the link.
            if (f.truncated) return Invalid("frame shorter than its control field");
            return Reject(ErrorCause::undefined_frame, "undefined control field");
        case FrameKind::I:
            if (!f.command) return Reject(ErrorCause::undefined_frame, "I-frame sent as a response");
            if (f.info_size > params_.n201)
                return Reject(ErrorCause::n201_exceeded, "I-frame longer than N201");
            OnI(f, octets + f.info_at);
            break;
        case FrameKind::RR:
        case FrameKind::RNR:
        case FrameKind::REJ:
            if (f.info_size != 0)
                return Reject(ErrorCause::information_not_permitted,
                              "supervisory frame with information");
            OnSupervisory(f);
            break;
        case FrameKind::SABME:
        case FrameKind::DISC:
        case FrameKind::UA:
        case FrameKind::DM: {
            bool const must_command = f.kind == FrameKind::SABME || f.kind == FrameKind::DISC;
            if (f.info_size != 0)
                return Reject(ErrorCause::information_not_permitted,
                              "unnumbered frame with information");
            if (f.command != must_command)
                return Reject(ErrorCause::undefined_frame, "frame with the wrong C/R bit");
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

void Lapd::Invalid(char const* text) {
    ++counters_.invalid;
    notify_.LapdError(ErrorCause::invalid_frame, text);
}

void Lapd::Reject(ErrorCause cause, char const* text) {
    Error(cause, text);
    if (state_ == State::established || state_ == State::timer_recovery) {
        ++counters_.retrains;
        EstablishDataLink();
        l3_initiated_ = false;
    }
    CheckCongestion();
}

// An I-frame does two things. Its N(S) is the peer's sending: taken when it
// is the one expected (V(R)), acknowledged at once with RR F 1 when polled,
// else later (ack_pending_: the next frame sent carries V(R), or an RR goes
// out when nothing else does); one out of sequence is answered by a single
// REJ, and the frames after it are dropped until the expected one comes
// (the reject exception). Its N(R) acknowledges our sending, as an RR's
// does: in timer recovery it only moves V(A), since the poll's answer
// decides what is sent again.
void Lapd::OnI(Frame const& f, uint8_t const* info) {
    if (state_ != State::established && state_ != State::timer_recovery) return;
    if (Sequence(f.ns) == vr_) {
        ++vr_;
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
        if (state_ == State::established)
            Error(ErrorCause::supervisory_final, "final bit not asked for");
    }
    if (!NrValid(f.nr)) return NrError();

    if (state_ == State::timer_recovery) {
        Acknowledge(f.nr);
        if (!f.command && f.pf) {
            // The answer to our poll: back to normal, sending again from
            // N(R). A peer still busy is polled again after T200.
            poll_outstanding_ = false;
            if (peer_busy_) {
                StopT203();
                StartT200();
            } else {
                StopT200();
                StartT203();
            }
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
    } else if (f.kind == FrameKind::RNR) {
        // RNR holds the I-frames until the peer is ready: T200 (re)starts,
        // and its expiry polls the peer for the end of its busy condition.
        Acknowledge(f.nr);
        StopT203();
        StartT200();
    } else {
        // REJ asks for every frame from N(R) again.
        Acknowledge(f.nr);
        StopT200();
        StartT203();
        Retransmit();
    }
    SendQueued();
    SendAck();
}

// An acknowledgement in the multiple-frame-established state (an RR or an
// I-frame's N(R)). T200 runs while frames are out unacknowledged: one that
// acknowledges everything sent stops it and hands supervision to T203; one
// that acknowledges some restarts it, since the oldest frame still out is
// younger than the one T200 was started for; one that acknowledges nothing
// new leaves it running. A busy peer's acknowledgement only moves V(A): T200
// goes on polling it.
void Lapd::UpdateAck(Sequence nr) {
    if (peer_busy_) {
        Acknowledge(nr);
    } else if (nr == vs_high_) {
        Acknowledge(nr);
        StopT200();
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
            Error(ErrorCause::peer_reestablished, "peer re-established the link");
            ++counters_.retrains;
            bool const lost = vs_ != va_;
            if (lost) DiscardQueue();
            // Supervision starts afresh: T200 of a frame now given up would
            // poll the peer just after the UA.
            StopT200();
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
            StopT200();
            EnterReleased();
            break;
    }
}

void Lapd::OnUa(Frame const& f) {
    if (!f.pf) return Error(ErrorCause::ua_without_final, "UA without the final bit");
    switch (state_) {
        case State::awaiting_establishment: {
            bool indicate = l3_initiated_;
            if (!l3_initiated_ && vs_ != va_) {
                DiscardQueue();
                indicate = true;
            }
            StopT200();
            EnterEstablished(indicate);
            break;
        }
        case State::awaiting_release:
            StopT200();
            EnterReleased();
            break;
        default:
            Error(ErrorCause::ua_final, "UA not asked for");
            break;
    }
}

void Lapd::OnDm(Frame const& f) {
    switch (state_) {
        case State::awaiting_establishment:
            if (!f.pf) return;
            DiscardQueue();
            StopT200();
            EnterReleased();
            break;
        case State::awaiting_release:
            if (!f.pf) return;
            StopT200();
            EnterReleased();
            break;
        case State::established:
        case State::timer_recovery:
            if (f.pf) return Error(ErrorCause::dm_final, "DM with the final bit not asked for");
            Reestablish(ErrorCause::dm_without_final, "peer asks for establishment");
            break;
        default:
            break;
    }
}

void Lapd::OnFrmr(Frame const&) {
    if (state_ == State::established || state_ == State::timer_recovery)
        Reestablish(ErrorCause::frmr_received, "FRMR received");
}

void Lapd::Reestablish(ErrorCause cause, char const* text) {
    Error(cause, text);
    ++counters_.retrains;
    EstablishDataLink();
    l3_initiated_ = false;
}

// Timers.

void Lapd::OnTimer(unsigned index) {
    if (index == t200) return OnT200();
    OnT203();
}

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
                Reestablish(ErrorCause::enquiry_unanswered, "no answer to N200 polls");
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
                Error(ErrorCause::sabme_unanswered, "no answer to N200 SABME");
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
                Error(ErrorCause::disc_unanswered, "no answer to N200 DISC");
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
    StopT203();
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
    StopT203();
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

void Lapd::Acknowledge(Sequence nr) {
    // The peer may acknowledge frames that are being sent again.
    size_t const sent = unacked();
    size_t const count = size_t(unsigned(nr - va_));
    queue_.erase(queue_.begin(), queue_.begin() + long(count));
    va_ = nr;
    if (count > sent) vs_ = va_;
}

void Lapd::NrError() {
    ++counters_.bad_confirm;
    Reestablish(ErrorCause::nr_error, "N(R) outside the window");
}

void Lapd::SendQueued() {
    if (state_ != State::established) return;
    while (!peer_busy_ && unacked() < params_.k && unacked() < queue_.size()) {
        TransmitI(unacked(), false);
        if (!t200_running()) {
            StopT203();
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
    --vs_;
    TransmitI(unacked(), true);
    poll_outstanding_ = true;
    StartT200();
}

void Lapd::TransmitI(size_t index, bool p) {
    Octets const& message = queue_[index];
    BuildI(frame_, address_, vs(), vr(), p, message.data(), message.size());
    if (vs_ == vs_high_) ++vs_high_;
    ++vs_;
    ack_pending_ = false;
    ++counters_.tx_i;
    notify_.LapdTransmit(frame_.data(), frame_.size());
}

void Lapd::TransmitS(FrameKind kind, bool command, bool pf) {
    BuildS(frame_, address_, kind, command, vr(), pf);
    notify_.LapdTransmit(frame_.data(), frame_.size());
}

void Lapd::TransmitU(FrameKind kind, bool command, bool pf) {
    BuildU(frame_, address_, kind, command, pf);
    notify_.LapdTransmit(frame_.data(), frame_.size());
}

void Lapd::Error(ErrorCause cause, char const* text) {
    ++counters_.errors;
    notify_.LapdError(cause, text);
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
    if (t200_running()) os << " T200";
    if (t203_running()) os << " T203";
}

}  // namespace ISDN
