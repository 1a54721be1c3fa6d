#include "signalling/ss7/mtp2_link.h"

#include <sstream>

#include "runtime/log/ext.h"

namespace Ss7 {

namespace {

Sequence Next(Sequence n) { return ++n; }

std::string Number(Sequence n) { return std::to_string(unsigned(n)); }

}  // namespace

char const* StateName(Mtp2Link::State state) {
    static char const* const names[] = {"idle",    "not aligned",   "aligned",
                                        "proving", "aligned ready", "in service"};
    return names[int(state)];
}

std::ostream& operator<<(std::ostream& os, Mtp2Link::State state) { return os << StateName(state); }

char const* Mtp2Link::TimerName(unsigned index) {
    static char const* const names[] = {"T1",   "T2",      "T3",  "T4", "T6",
                                        "T7",   "fill",    "silence", "ack"};
    return index < timer_count ? names[index] : "?";
}

Mtp2Link::Mtp2Link(User& user, Timers const& timers, TimeSource& time)
    : user_(user), timers_(timers), set_(time.MakeTimers(*this, timer_count)) {}

void Mtp2Link::Trace(bool on, std::string const& text) const {
    if (on) user_.OnTrace(text);
}

void Mtp2Link::Print(std::ostream& os) const {
    os << StateName(state_) << ", fsn " << unsigned(fsn_) << '/' << fib_ << " bsn "
       << unsigned(bsn_) << '/' << bib_ << ", " << rtb_.size() << " unacknowledged";
}

void Mtp2Link::SetState(State state, char const* why) {
    state_ = state;
    if (!traces_.state) return;
    std::ostringstream text;
    text << "state " << ext::quoted(state) << ": " << why;
    Trace(true, text.str());
}

void Mtp2Link::Reset() {
    fsn_ = acked_ = bsn_ = 127;
    fib_ = bib_ = true;
    rtb_.clear();
    nack_pending_ = false;
    abnormal_history_ = 0;
    peer_busy_ = false;
    aerm_ = suerm_ = suerm_good_ = 0;
}

void Mtp2Link::StopTimers() {
    for (unsigned index = 0; index < timer_count; ++index) set_->Stop(index);
}

void Mtp2Link::Start(bool emergency) {
    if (state_ != State::idle) return;
    Reset();
    emergency_ = short_proving_ = emergency;
    further_proving_ = false;
    provings_ = 0;
    received_ = false;
    SetState(State::not_aligned, emergency ? "start, emergency" : "start");
    SendStatus(Status::sio);
    Arm(t2, timers_.t2);
    set_->Start(fill, timers_.fill);
    set_->Start(silence, 2 * timers_.fill);
}

void Mtp2Link::Stop() {
    if (state_ == State::idle) return;
    StopTimers();
    SendStatus(Status::sios);
    SetState(State::idle, "stopped");
    Reset();
}

void Mtp2Link::Fail(char const* why) {
    StopTimers();
    SendStatus(Status::sios);
    SetState(State::idle, why);
    Reset();
    user_.OnOutOfService();
}

// Sending.

void Mtp2Link::Emit(SignalUnit const& unit) {
    uint8_t frame[max_unit];
    size_t const size = Build(unit, frame);
    if (traces_.mtp_transmit) {
        std::ostringstream text;
        text << "tx " << unit;
        Trace(true, text.str());
    }
    if (traces_.raw_transmit) {
        std::ostringstream text;
        text << "tx raw " << ext::hex(frame, frame + size);
        Trace(true, text.str());
    }
    user_.Transmit(frame, size);
}

void Mtp2Link::SendStatus(Status status) {
    SignalUnit unit;
    unit.kind = SignalUnit::lssu;
    unit.bsn = bsn_;
    unit.bib = bib_;
    unit.fsn = fsn_;
    unit.fib = fib_;
    unit.status = status;
    Emit(unit);
}

void Mtp2Link::SendFill() {
    SignalUnit unit;
    unit.bsn = bsn_;
    unit.bib = bib_;
    unit.fsn = fsn_;
    unit.fib = fib_;
    Emit(unit);
}

void Mtp2Link::SendMessage(Held const& held) {
    SignalUnit unit;
    unit.kind = SignalUnit::msu;
    unit.bsn = bsn_;
    unit.bib = bib_;
    unit.fsn = held.fsn;
    unit.fib = fib_;
    unit.payload = held.msu.data();
    unit.payload_size = held.msu.size();
    Emit(unit);
    // The unit carries the acknowledgement a fill-in unit would.
    Stop(ack);
}

void Mtp2Link::SendCurrent() {
    switch (state_) {
        case State::idle:
            return;
        case State::not_aligned:
            return SendStatus(Status::sio);
        case State::aligned:
        case State::proving:
            return SendStatus(emergency_ ? Status::sie : Status::sin);
        case State::aligned_ready:
        case State::in_service:
            return SendFill();
    }
}

bool Mtp2Link::Send(uint8_t const* msu, size_t size, std::string& reason) {
    if (state_ != State::in_service) {
        reason = "the link is not in service";
        return false;
    }
    if (size < min_msu || size > max_msu) {
        reason = "a message unit carries 3 to 273 octets, not " + std::to_string(size);
        return false;
    }
    if (rtb_.size() >= rtb_capacity) {
        ++counters_.overflow;
        reason = "the link is congested: " + std::to_string(rtb_.size()) +
                 " message units wait for acknowledgement";
        return false;
    }
    ++fsn_;
    rtb_.push_back({fsn_, std::vector<uint8_t>(msu, msu + size)});
    ++counters_.msu_tx;
    counters_.octets_tx += size;
    Trace(traces_.msu_processing,
          "send fsn " + Number(fsn_) + ", " + std::to_string(size) + " octets");
    SendMessage(rtb_.back());
    if (!peer_busy_ && !Running(t7)) Arm(t7, timers_.t7);
    return true;
}

// Receiving.

void Mtp2Link::Receive(uint8_t const* frame, size_t size) {
    if (state_ == State::idle) return;
    received_ = true;
    if (traces_.raw_receive) {
        std::ostringstream text;
        text << "rx raw " << ext::hex(frame, frame + size);
        Trace(true, text.str());
    }
    SignalUnit unit;
    ParseResult const result = Parse(frame, size, unit);
    if (result != ParseResult::good) {
        ++counters_.bad_units;
        static char const* const causes[] = {"", "shorter than its header",
                                             "length indicator disagrees with its size",
                                             "unknown status"};
        Trace(traces_.mtp_receive, std::string("rx dropped, ") + causes[int(result)]);
        return Error();
    }
    if (traces_.mtp_receive) {
        std::ostringstream text;
        text << "rx " << unit;
        Trace(true, text.str());
    }
    if (++suerm_good_ == suerm_block) {
        suerm_good_ = 0;
        if (suerm_ > 0) --suerm_;
    }
    if (unit.kind == SignalUnit::lssu) return OnStatus(unit);
    if (state_ == State::aligned_ready) {
        Stop(t1);
        suerm_ = suerm_good_ = 0;
        SetState(State::in_service, "the peer's fill-in or message units");
        user_.OnInService();
        if (state_ != State::in_service) return;
    }
    if (state_ != State::in_service) return;
    if (OnBackward(unit)) OnForward(unit);
}

void Mtp2Link::OnStatus(SignalUnit const& unit) {
    Status const status = unit.status;
    if (traces_.mtp_activate && state_ != State::in_service) {
        std::ostringstream text;
        text << "peer sends " << StatusName(status) << " in " << ext::quoted(state_);
        Trace(true, text.str());
    }
    switch (state_) {
        case State::idle:
            return;
        case State::not_aligned:
            if (status != Status::sio && status != Status::sin && status != Status::sie) return;
            Stop(t2);
            if (status == Status::sie) short_proving_ = true;
            SetState(State::aligned, "the peer aligns");
            SendCurrent();
            Arm(t3, timers_.t3);
            return;
        case State::aligned:
            if (status == Status::sios) return Fail("alignment not possible: the peer is out of service");
            if (status != Status::sin && status != Status::sie) return;
            Stop(t3);
            if (status == Status::sie) short_proving_ = true;
            return StartProving();
        case State::proving:
            return OnAlignmentStatus(status);
        case State::aligned_ready:
            if (status == Status::sio || status == Status::sios)
                return Fail("the peer left alignment");
            return;
        case State::in_service:
            if (status == Status::sib) {
                if (peer_busy_) return;
                peer_busy_ = true;
                Trace(traces_.msu_processing, "peer busy");
                Stop(t7);
                Arm(t6, timers_.t6);
                return;
            }
            return Fail("the peer's status unit in service");
    }
}

void Mtp2Link::OnAlignmentStatus(Status status) {
    if (status == Status::sios) return Fail("alignment not possible: the peer is out of service");
    if (status == Status::sio) {
        Stop(t4);
        SetState(State::aligned, "the peer restarts alignment");
        Arm(t3, timers_.t3);
        return;
    }
    if (status == Status::sie && !short_proving_) {
        // The peer's emergency shortens the proving under way.
        short_proving_ = true;
        Arm(t4, timers_.t4e);
    }
}

void Mtp2Link::StartProving() {
    aerm_ = 0;
    further_proving_ = false;
    SetState(State::proving, short_proving_ ? "emergency proving" : "normal proving");
    SendCurrent();
    Arm(t4, short_proving_ ? timers_.t4e : timers_.t4n);
}

bool Mtp2Link::Abnormal(bool abnormal) {
    abnormal_history_ = ((abnormal_history_ << 1) | (abnormal ? 1u : 0u)) & 7u;
    unsigned const count = (abnormal_history_ & 1) + ((abnormal_history_ >> 1) & 1) +
                           ((abnormal_history_ >> 2) & 1);
    return count >= 2;
}

// The backward half of a fill-in or message unit: what the peer says of
// the units we sent. Its BSN must lie between the last one acknowledged and
// the last FSN sent (acked_ <= BSN <= fsn_); its FIB must equal our BIB,
// unless we have just inverted the BIB to ask for a retransmission and the
// peer has not yet answered it (nack_pending_). Either fault drops the unit
// and counts as abnormal; two in three units end the link. A good unit
// acknowledges every message unit up to its BSN (which removes them from the
// retransmission buffer), and a BIB that differs from our FIB is the peer's
// negative acknowledgement: everything still unacknowledged goes out again
// and our FIB follows its BIB. T7 runs while units wait for an
// acknowledgement; a busy peer's T6 stops once it acknowledges again.
bool Mtp2Link::OnBackward(SignalUnit const& unit) {
    bool const bad_bsn = !(acked_ <= Sequence(unit.bsn) <= fsn_);
    bool const bad_fib = unit.fib != bib_ && !nack_pending_;
    if (bad_bsn || bad_fib) {
        ++counters_.bad_sequence;
        Trace(traces_.msu_processing, std::string(bad_bsn ? "abnormal BSN " : "abnormal FIB ") +
                                          std::to_string(unit.bsn) + ", dropped");
        if (Abnormal(true)) Fail(bad_bsn ? "abnormal BSN twice" : "abnormal FIB twice");
        return false;
    }
    Abnormal(false);
    bool const advanced = Sequence(unit.bsn) != acked_;
    bool const negative = unit.bib != fib_;
    // A busy peer is over its congestion when it acknowledges again, or has
    // nothing left to acknowledge.
    if (peer_busy_ && (advanced || negative || rtb_.empty())) {
        peer_busy_ = false;
        Stop(t6);
        Trace(traces_.msu_processing, "peer no longer busy");
    }
    Acknowledge(unit.bsn);
    if (negative) Retransmit();
    if (peer_busy_) return true;
    if (!rtb_.empty() && !Running(t7)) Arm(t7, timers_.t7);
    return true;
}

void Mtp2Link::Acknowledge(Sequence bsn) {
    if (bsn == acked_) return;
    while (acked_ != bsn && !rtb_.empty()) {
        ++acked_;
        rtb_.pop_front();
    }
    acked_ = bsn;
    Trace(traces_.msu_processing, "acknowledged up to " + Number(bsn));
    if (rtb_.empty()) {
        Stop(t7);
    } else {
        Arm(t7, timers_.t7);
    }
}

void Mtp2Link::Retransmit() {
    fib_ = !fib_;
    Trace(traces_.msu_processing, "negative acknowledgement: " + std::to_string(rtb_.size()) +
                                      " message units again");
    for (Held const& held : rtb_) {
        SendMessage(held);
        ++counters_.repeated;
    }
}

void Mtp2Link::OnForward(SignalUnit const& unit) {
    if (unit.fib != bib_) return;  // sent before our negative acknowledgement
    nack_pending_ = false;
    Sequence const fsn = unit.fsn;
    if (unit.kind == SignalUnit::fisu) {
        if (fsn == bsn_) return;
    } else if (fsn == bsn_) {
        Trace(traces_.msu_processing, "fsn " + Number(fsn) + " again, dropped");
        return;
    } else if (fsn == Next(bsn_)) {
        bsn_ = fsn;
        ++counters_.msu_rx;
        counters_.octets_rx += unit.payload_size;
        Trace(traces_.msu_processing, "accept fsn " + std::to_string(unit.fsn) + ", " +
                                          std::to_string(unit.payload_size) + " octets");
        if (!Running(ack)) set_->Start(ack, 0);
        user_.OnMessage(unit.payload, unit.payload_size);
        return;
    }
    // A unit lost on the way: ask for everything after the last accepted.
    ++counters_.bad_sequence;
    Trace(traces_.msu_processing,
          "sequence gap at fsn " + Number(fsn) + ", expected " + Number(Next(bsn_)));
    bib_ = !bib_;
    nack_pending_ = true;
    if (!Running(ack)) set_->Start(ack, 0);
}

void Mtp2Link::Error() {
    if (state_ == State::proving) {
        if (further_proving_) return;
        unsigned const threshold = short_proving_ ? aerm_emergency : aerm_normal;
        if (++aerm_ < threshold) return;
        if (++provings_ >= max_provings) return Fail("alignment not possible: proving failed");
        // Proving starts again when the period under way ends.
        further_proving_ = true;
        Trace(traces_.mtp_activate, "proving spoilt by errors");
        return;
    }
    if (state_ == State::in_service && ++suerm_ >= suerm_threshold)
        Fail("signal unit error rate");
}

// Timers.

void Mtp2Link::Arm(TimerIndex index, unsigned ms) {
    set_->Start(index, ms);
    Trace(traces_.timers, std::string(TimerName(index)) + " started, " + std::to_string(ms) + " ms");
}

void Mtp2Link::OnTimer(unsigned index) {
    if (index < fill) Trace(traces_.timers, std::string(TimerName(index)) + " expired");
    switch (index) {
        case t1:
            return Fail("T1: the peer did not come into service");
        case t2:
            return Fail("alignment not possible: T2");
        case t3:
            return Fail("alignment not possible: T3");
        case t4:
            return OnT4();
        case t6:
            return Fail("the peer stayed busy");
        case t7:
            return Fail("acknowledgement delayed");
        case fill:
            return OnFill();
        case silence:
            return OnSilence();
        default:
            return OnAck();
    }
}

void Mtp2Link::OnT4() {
    if (further_proving_) {
        further_proving_ = false;
        aerm_ = 0;
        Arm(t4, short_proving_ ? timers_.t4e : timers_.t4n);
        return;
    }
    SetState(State::aligned_ready, "proving done");
    SendFill();
    Arm(t1, timers_.t1);
}

void Mtp2Link::OnFill() {
    SendCurrent();
    if (state_ != State::idle) set_->Start(fill, timers_.fill);
}

void Mtp2Link::OnSilence() {
    if (!received_) Error();
    received_ = false;
    if (state_ != State::idle) set_->Start(silence, 2 * timers_.fill);
}

void Mtp2Link::OnAck() {
    if (state_ == State::in_service) SendFill();
}

}  // namespace Ss7
