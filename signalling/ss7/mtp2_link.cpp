#include "signalling/ss7/mtp2_link.h"

#include <iostream>
#include <sstream>
#include <utility>

#include "runtime/log/ext.h"

namespace Ss7 {

namespace {

uint8_t const sequence_mask = 0x7F;

uint8_t next(uint8_t sequence) { return uint8_t((sequence + 1) & sequence_mask); }

// How far b is ahead of a in the sequence space.
uint8_t ahead(uint8_t a, uint8_t b) { return uint8_t((b - a) & sequence_mask); }

}  // namespace

char const* StateName(Mtp2Link::State state) {
    static char const* const names[] = {"idle",    "not aligned",   "aligned",
                                        "proving", "aligned ready", "in service"};
    return names[int(state)];
}

Mtp2Link::Mtp2Link(User& user, Timers const& timers) : user_(user), timers_(timers) {}

void Mtp2Link::Trace(bool on, std::string const& text) const {
    if (on) std::clog << name_ << text << std::endl;
}

void Mtp2Link::Print(std::ostream& os) const {
    os << StateName(state_) << ", fsn " << unsigned(fsn_) << '/' << fib_ << " bsn "
       << unsigned(bsn_) << '/' << bib_ << ", " << rtb_.size() << " unacknowledged";
}

void Mtp2Link::SetState(State state, char const* why) {
    state_ = state;
    Trace(traces_.state, std::string("state ") + StateName(state) + ": " + why);
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
    for (Timer* timer : {&t1_, &t2_, &t3_, &t4_, &t6_, &t7_, &fill_, &silence_, &ack_})
        timer->reset();
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
    Arm(t2_, timers_.t2, &Mtp2Link::OnT2, "T2");
    fill_.set(timers_.fill, &Mtp2Link::OnFill, this);
    silence_.set(2 * timers_.fill, &Mtp2Link::OnSilence, this);
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
    ack_.reset();
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
    fsn_ = next(fsn_);
    rtb_.push_back({fsn_, std::vector<uint8_t>(msu, msu + size)});
    ++counters_.msu_tx;
    counters_.octets_tx += size;
    Trace(traces_.msu_processing, "send fsn " + std::to_string(fsn_) + ", " +
                                      std::to_string(size) + " octets");
    SendMessage(rtb_.back());
    if (!peer_busy_ && !t7_.is_running()) Arm(t7_, timers_.t7, &Mtp2Link::OnT7, "T7");
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
        t1_.reset();
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
    Trace(traces_.mtp_activate && state_ != State::in_service,
          std::string("peer sends ") + StatusName(status) + " in " + StateName(state_));
    switch (state_) {
        case State::idle:
            return;
        case State::not_aligned:
            if (status != Status::sio && status != Status::sin && status != Status::sie) return;
            t2_.reset();
            if (status == Status::sie) short_proving_ = true;
            SetState(State::aligned, "the peer aligns");
            SendCurrent();
            Arm(t3_, timers_.t3, &Mtp2Link::OnT3, "T3");
            return;
        case State::aligned:
            if (status == Status::sios) return Fail("alignment not possible: the peer is out of service");
            if (status != Status::sin && status != Status::sie) return;
            t3_.reset();
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
                t7_.reset();
                Arm(t6_, timers_.t6, &Mtp2Link::OnT6, "T6");
                return;
            }
            return Fail("the peer's status unit in service");
    }
}

void Mtp2Link::OnAlignmentStatus(Status status) {
    if (status == Status::sios) return Fail("alignment not possible: the peer is out of service");
    if (status == Status::sio) {
        t4_.reset();
        SetState(State::aligned, "the peer restarts alignment");
        Arm(t3_, timers_.t3, &Mtp2Link::OnT3, "T3");
        return;
    }
    if (status == Status::sie && !short_proving_) {
        // The peer's emergency shortens the proving under way.
        short_proving_ = true;
        Arm(t4_, timers_.t4e, &Mtp2Link::OnT4, "T4");
    }
}

void Mtp2Link::StartProving() {
    aerm_ = 0;
    further_proving_ = false;
    SetState(State::proving, short_proving_ ? "emergency proving" : "normal proving");
    SendCurrent();
    Arm(t4_, short_proving_ ? timers_.t4e : timers_.t4n, &Mtp2Link::OnT4, "T4");
}

bool Mtp2Link::Abnormal(bool abnormal) {
    abnormal_history_ = ((abnormal_history_ << 1) | (abnormal ? 1u : 0u)) & 7u;
    unsigned const count = (abnormal_history_ & 1) + ((abnormal_history_ >> 1) & 1) +
                           ((abnormal_history_ >> 2) & 1);
    return count >= 2;
}

bool Mtp2Link::OnBackward(SignalUnit const& unit) {
    bool const bad_bsn = ahead(acked_, unit.bsn) > ahead(acked_, fsn_);
    bool const bad_fib = unit.fib != bib_ && !nack_pending_;
    if (bad_bsn || bad_fib) {
        ++counters_.bad_sequence;
        Trace(traces_.msu_processing, std::string(bad_bsn ? "abnormal BSN " : "abnormal FIB ") +
                                          std::to_string(unit.bsn) + ", dropped");
        if (Abnormal(true)) Fail(bad_bsn ? "abnormal BSN twice" : "abnormal FIB twice");
        return false;
    }
    Abnormal(false);
    bool const advanced = unit.bsn != acked_;
    bool const negative = unit.bib != fib_;
    // A busy peer is over its congestion when it acknowledges again, or has
    // nothing left to acknowledge.
    if (peer_busy_ && (advanced || negative || rtb_.empty())) {
        peer_busy_ = false;
        t6_.reset();
        Trace(traces_.msu_processing, "peer no longer busy");
    }
    Acknowledge(unit.bsn);
    if (negative) Retransmit();
    if (peer_busy_) return true;
    if (!rtb_.empty() && !t7_.is_running()) Arm(t7_, timers_.t7, &Mtp2Link::OnT7, "T7");
    return true;
}

void Mtp2Link::Acknowledge(uint8_t bsn) {
    if (bsn == acked_) return;
    while (acked_ != bsn && !rtb_.empty()) {
        acked_ = next(acked_);
        rtb_.pop_front();
    }
    acked_ = bsn;
    Trace(traces_.msu_processing, "acknowledged up to " + std::to_string(bsn));
    if (rtb_.empty()) {
        t7_.reset();
    } else {
        Arm(t7_, timers_.t7, &Mtp2Link::OnT7, "T7");
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
    if (unit.kind == SignalUnit::fisu) {
        if (unit.fsn == bsn_) return;
    } else if (unit.fsn == bsn_) {
        Trace(traces_.msu_processing, "fsn " + std::to_string(unit.fsn) + " again, dropped");
        return;
    } else if (unit.fsn == next(bsn_)) {
        bsn_ = unit.fsn;
        ++counters_.msu_rx;
        counters_.octets_rx += unit.payload_size;
        Trace(traces_.msu_processing, "accept fsn " + std::to_string(unit.fsn) + ", " +
                                          std::to_string(unit.payload_size) + " octets");
        if (!ack_.is_running()) ack_.set(0, &Mtp2Link::OnAck, this);
        user_.OnMessage(unit.payload, unit.payload_size);
        return;
    }
    // A unit lost on the way: ask for everything after the last accepted.
    ++counters_.bad_sequence;
    Trace(traces_.msu_processing, "sequence gap at fsn " + std::to_string(unit.fsn) +
                                      ", expected " + std::to_string(next(bsn_)));
    bib_ = !bib_;
    nack_pending_ = true;
    if (!ack_.is_running()) ack_.set(0, &Mtp2Link::OnAck, this);
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

void Mtp2Link::Arm(Timer& timer, unsigned ms, void (Mtp2Link::*member)(), char const* name) {
    timer.set(ms, member, this);
    Trace(traces_.timers, std::string(name) + " started, " + std::to_string(ms) + " ms");
}

void Mtp2Link::Expired(char const* name) { Trace(traces_.timers, std::string(name) + " expired"); }

void Mtp2Link::OnT1() {
    Expired("T1");
    Fail("T1: the peer did not come into service");
}

void Mtp2Link::OnT2() {
    Expired("T2");
    Fail("alignment not possible: T2");
}

void Mtp2Link::OnT3() {
    Expired("T3");
    Fail("alignment not possible: T3");
}

void Mtp2Link::OnT4() {
    Expired("T4");
    if (further_proving_) {
        further_proving_ = false;
        aerm_ = 0;
        Arm(t4_, short_proving_ ? timers_.t4e : timers_.t4n, &Mtp2Link::OnT4, "T4");
        return;
    }
    SetState(State::aligned_ready, "proving done");
    SendFill();
    Arm(t1_, timers_.t1, &Mtp2Link::OnT1, "T1");
}

void Mtp2Link::OnT6() {
    Expired("T6");
    Fail("the peer stayed busy");
}

void Mtp2Link::OnT7() {
    Expired("T7");
    Fail("acknowledgement delayed");
}

void Mtp2Link::OnFill() {
    SendCurrent();
    if (state_ != State::idle) fill_.set(timers_.fill, &Mtp2Link::OnFill, this);
}

void Mtp2Link::OnSilence() {
    if (!received_) Error();
    received_ = false;
    if (state_ != State::idle) silence_.set(2 * timers_.fill, &Mtp2Link::OnSilence, this);
}

void Mtp2Link::OnAck() {
    if (state_ == State::in_service) SendFill();
}

}  // namespace Ss7
