#pragma once
// The level 2 of an SS7 signalling link (ITU-T Q.703), as a protocol module:
// signal units in (Receive), signal units out (User::Transmit), timers from
// the TimeSource it is given (the main loop's, or a test's virtual clock),
// traces out through its user, and a state that prints. It aligns the link with normal or
// emergency proving, carries message units with basic error correction (a
// bounded retransmission buffer, negative acknowledgement by the backward
// indicator bit, retransmission from the buffer), watches the received units
// for errors, and takes the link out of service when alignment fails, the
// peer stops answering, acknowledgements stay away or the sequence numbers go
// wrong. The PSTN slot owns one per SS7 link and wires it to its HDLC channel.
//
// The line carries only the units sent: the link repeats its current status
// or fill-in unit every `fill` milliseconds, and every stretch of two fill
// periods with no unit received counts as one error of the error-rate
// monitors, as a line without flags would.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include <memory>

#include "runtime/containers/cyclic.h"
#include "runtime/loop/timer_set.h"
#include "signalling/ss7/signal_unit.h"

namespace Ss7 {

// Forward and backward sequence numbers, modulo 128.
using Sequence = Cyclic<unsigned, 127u>;

class Mtp2Link : private TimerSet::Client {
public:
    class User {
    public:
        virtual ~User() = default;
        // One signal unit to send on the line.
        virtual void Transmit(uint8_t const* unit, size_t size) = 0;
        // A message unit received in sequence: its service information
        // octet and signalling information field.
        virtual void OnMessage(uint8_t const* msu, size_t size) = 0;
        // The link has come into service / has failed and gone out of it.
        virtual void OnInService() = 0;
        virtual void OnOutOfService() = 0;
        // One line of a trace switched on in traces(), without the link's
        // name or a line end.
        virtual void OnTrace(std::string const& line) = 0;
    };

    // Milliseconds.
    struct Timers {
        unsigned t1 = 45000;  // aligned ready, waiting for the peer's fill-in units
        unsigned t2 = 20000;  // not aligned
        unsigned t3 = 1200;   // aligned, waiting for the peer's proving
        unsigned t4n = 8200;  // normal proving period
        unsigned t4e = 500;   // emergency proving period
        unsigned t6 = 5000;   // peer busy
        unsigned t7 = 1000;   // acknowledgement delayed
        unsigned fill = 50;   // repetition of the current status or fill-in unit
    };

    // The states of the link as the controller sees them.
    enum class State { idle, not_aligned, aligned, proving, aligned_ready, in_service };

    // The eight trace switches of the controller's ss7Log.
    struct Traces {
        bool state = false;
        bool raw_receive = false;
        bool raw_transmit = false;
        bool mtp_transmit = false;
        bool mtp_receive = false;
        bool mtp_activate = false;
        bool timers = false;
        bool msu_processing = false;
    };

    struct Counters {
        uint64_t msu_tx = 0;       // message units sent, first transmissions
        uint64_t msu_rx = 0;       // message units received in sequence
        uint64_t octets_tx = 0;
        uint64_t octets_rx = 0;
        uint64_t overflow = 0;     // messages refused with the buffer full
        uint64_t repeated = 0;     // message units sent again
        uint64_t bad_sequence = 0; // sequence gaps, abnormal BSN and FIB
        uint64_t bad_units = 0;    // frames too short, of a wrong length or status
    };

    // Unacknowledged message units the link holds at most: the sequence
    // numbers allow 127.
    static constexpr size_t rtb_capacity = 127;
    // The error-rate monitors' thresholds: in service 64 errors (less one
    // for every 256 good units), in proving 4, or 1 in emergency; alignment
    // fails after 5 proving periods spoilt by errors.
    static constexpr unsigned suerm_threshold = 64;
    static constexpr unsigned suerm_block = 256;
    static constexpr unsigned aerm_normal = 4;
    static constexpr unsigned aerm_emergency = 1;
    static constexpr unsigned max_provings = 5;

    Mtp2Link(User& user, Timers const& timers, TimeSource& time = LoopTime());
    Mtp2Link(Mtp2Link const&) = delete;
    Mtp2Link& operator=(Mtp2Link const&) = delete;

    // Starts alignment from out of service (nothing when already started).
    void Start(bool emergency);
    // Takes the link out of service: one out-of-service unit, then quiet.
    void Stop();
    // One frame from the line.
    void Receive(uint8_t const* frame, size_t size);
    // Sends a message unit of SIO and SIF; false with a reason when the link
    // cannot take it (not in service, a wrong size, the buffer full).
    bool Send(uint8_t const* msu, size_t size, std::string& reason);

    State state() const { return state_; }
    // The last forward sequence number accepted, sent back as BSN.
    uint8_t bsn() const { return uint8_t(unsigned(bsn_)); }
    size_t rtb_size() const { return rtb_.size(); }
    Counters const& counters() const { return counters_; }
    Traces& traces() { return traces_; }

    // "in service, fsn 12/1 bsn 7/1, 3 unacknowledged"
    void Print(std::ostream& os) const;

    // The timers' indices in the set.
    enum TimerIndex : unsigned { t1, t2, t3, t4, t6, t7, fill, silence, ack, timer_count };
    static char const* TimerName(unsigned index);

private:
    struct Held {
        Sequence fsn;
        std::vector<uint8_t> msu;
    };

    void SetState(State state, char const* why);
    void Fail(char const* why);
    // Puts the link back to its initial sequence numbers and empty buffer.
    void Reset();
    void StopTimers();

    // Sends a status unit, a fill-in unit, or a message unit.
    void SendStatus(Status status);
    void SendFill();
    void SendMessage(Held const& held);
    void Emit(SignalUnit const& unit);
    // The current status or fill-in unit of the state.
    void SendCurrent();

    void OnStatus(SignalUnit const& unit);
    void OnAlignmentStatus(Status status);
    // BSN and BIB of a fill-in or message unit; false when the unit is
    // to be dropped.
    bool OnBackward(SignalUnit const& unit);
    void OnForward(SignalUnit const& unit);
    void Acknowledge(Sequence bsn);
    void Retransmit();
    // Two of the last three units with an abnormal BSN or FIB end the link.
    bool Abnormal(bool abnormal);
    void Error();
    void StartProving();

    void OnTimer(unsigned index) override;
    void OnT4();
    void OnFill();
    void OnSilence();
    void OnAck();
    // Starts a protocol timer, with its trace.
    void Arm(TimerIndex index, unsigned ms);
    void Stop(TimerIndex index) { set_->Stop(index); }
    bool Running(TimerIndex index) const { return set_->Running(index); }

    void Trace(bool on, std::string const& text) const;

    User& user_;
    Timers const timers_;
    std::unique_ptr<TimerSet> const set_;
    Traces traces_;
    Counters counters_;

    State state_ = State::idle;
    bool emergency_ = false;       // local emergency: SIE and short proving
    bool short_proving_ = false;   // local or peer emergency
    bool further_proving_ = false;
    unsigned provings_ = 0;
    unsigned aerm_ = 0;
    unsigned suerm_ = 0;
    unsigned suerm_good_ = 0;
    bool received_ = false;        // a unit came since the last silence check

    // Transmission.
    Sequence fsn_ = 127u;          // the last FSN sent
    bool fib_ = true;
    std::deque<Held> rtb_;         // sent, not acknowledged, oldest first
    Sequence acked_ = 127u;        // the last FSN the peer acknowledged
    bool peer_busy_ = false;

    // Reception.
    Sequence bsn_ = 127u;          // the last FSN accepted
    bool bib_ = true;
    bool nack_pending_ = false;    // BIB inverted, waiting for the retransmission
    unsigned abnormal_history_ = 0;
};

char const* StateName(Mtp2Link::State state);
// The state's name, as the traces write it inside quotes.
std::ostream& operator<<(std::ostream& os, Mtp2Link::State state);

}  // namespace Ss7
