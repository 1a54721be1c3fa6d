#pragma once
// LAPD, the data link of an ISDN D channel, on the user or the network side:
// establishment and release of multiple-frame operation (SABME, UA, DM,
// DISC), numbered I-frames with N(S)/N(R) modulo 128 in a window of k,
// RR/RNR/REJ, timer recovery with T200 and N200, idle supervision with T203,
// and the reactions to frames in error. The TEI is fixed (point-to-point
// links), so the entity starts in the TEI-assigned state.
//
// It is a protocol module with no channel of its own: the owner hands it
// every frame the channel delivers (without flags and frame check sequence)
// and transmits every frame it asks for; its two timers, T200 and T203, come
// from the TimeSource it is given (the main loop's, or a test's virtual
// clock). The ISDN and PSTN signalling slots own one each, and the tests run
// two back to back.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <ostream>

#include <memory>

#include "runtime/containers/cyclic.h"
#include "runtime/loop/timer_set.h"
#include "signalling/isdn/lapd_frame.h"

namespace ISDN {

struct LapdParams {
    Side side = Side::user;
    uint8_t sapi = 0;  // call control
    uint8_t tei = 0;
    unsigned t200_ms = 1000;
    unsigned t203_ms = 10000;
    unsigned n200 = 3;
    // The longest information field of an I-frame, in octets.
    size_t n201 = 260;
    // The most I-frames sent and not yet acknowledged.
    unsigned k = 7;
    // The most layer-3 messages that wait to be sent (beyond the window).
    size_t queue_limit = 64;
};

// The parameters of a link on a basic access (k 1) or a primary rate access
// (k 7) at the default timings.
LapdParams LinkParams(bool basic_access, Side side);

// What the link tells its management about a fault: the error indications
// of Q.921, named, with their code letters as values; and the invalid frame,
// which is discarded without any indication and only counted.
enum class ErrorCause : char {
    invalid_frame = '-',               // too short for its address and control field
    supervisory_final = 'A',           // a supervisory response with F 1 not asked for
    dm_final = 'B',                    // DM with F 1 not asked for
    ua_final = 'C',                    // UA with F 1 not asked for
    ua_without_final = 'D',            // UA with F 0
    dm_without_final = 'E',            // DM with F 0: the peer asks for establishment
    peer_reestablished = 'F',          // SABME while established
    sabme_unanswered = 'G',            // N200 SABME sent in vain
    disc_unanswered = 'H',             // N200 DISC sent in vain
    enquiry_unanswered = 'I',          // N200 polls in timer recovery in vain
    nr_error = 'J',                    // N(R) outside the window
    frmr_received = 'K',               // FRMR received
    undefined_frame = 'L',             // a control field no frame has, or a wrong C/R bit
    information_not_permitted = 'M',   // an information field on a frame that has none
    wrong_size = 'N',                  // a frame of a wrong length
    n201_exceeded = 'O',               // an I-frame longer than N201
};

// The code letter ("A" to "O"), or "invalid frame".
char const* NameOf(ErrorCause cause);

// LAPD sequence numbers: N(S), N(R) and the state variables, modulo 128.
using Sequence = Cyclic<unsigned, 127u>;

class Lapd : private TimerSet::Client {
public:
    // In the order of ACP::LAPDState.
    enum class State : uint8_t {
        tei_unassigned,
        tei_assign_awaiting,
        tei_establish_awaiting,
        tei_assigned,
        awaiting_establishment,
        awaiting_release,
        established,
        timer_recovery,
    };

    enum class SendResult : uint8_t { queued, not_established, too_long, queue_full };

    class Notify {
    public:
        virtual ~Notify() = default;
        // A frame to put on the channel.
        virtual void LapdTransmit(uint8_t const* frame, size_t size) = 0;
        // Multiple-frame operation has begun (asked for here or by the peer).
        virtual void LapdUp() = 0;
        // It has ended: released, refused or failed.
        virtual void LapdDown() = 0;
        // A layer-3 message has arrived, in order.
        virtual void LapdData(uint8_t const* message, size_t size) = 0;
        // The link cannot take more messages now (the peer is busy or the
        // queue is full), or can again.
        virtual void LapdCongestion(bool) {}
        // A fault of the link: a management error indication or an invalid
        // frame, and what happened.
        virtual void LapdError(ErrorCause, char const*) {}
    };

    struct Counters {
        uint32_t tx_i = 0;           // I-frames sent, retransmissions included
        uint32_t rx_i = 0;           // I-frames taken in sequence
        uint32_t errors = 0;         // management error indications
        uint32_t invalid = 0;        // invalid frames discarded
        uint32_t retrains = 0;       // re-establishments of an established link
        uint32_t rejected = 0;       // REJ frames received
        uint32_t bad_confirm = 0;    // N(R) outside the window
        uint32_t out_overflows = 0;  // messages refused with the queue full
        uint32_t ack_overflows = 0;  // messages held because the window was full
    };

    Lapd(LapdParams const& params, Notify& notify, TimeSource& time = LoopTime());
    Lapd(Lapd const&) = delete;
    Lapd& operator=(Lapd const&) = delete;

    // Layer 3 asks for multiple-frame operation; from now on the entity also
    // accepts the peer's SABME.
    void Establish();
    // Layer 3 asks to release it; the peer's SABME is then answered DM.
    void Release();
    // The line under the link has failed: the link is released at once,
    // its messages discarded.
    void LineDown();
    // A layer-3 message to send in an I-frame.
    SendResult Send(uint8_t const* message, size_t size);
    // A frame from the channel.
    void Receive(uint8_t const* frame, size_t size);

    LapdParams const& params() const { return params_; }
    State state() const { return state_; }
    Counters const& counters() const { return counters_; }
    bool congested() const { return congested_; }
    uint8_t vs() const { return uint8_t(unsigned(vs_)); }
    uint8_t va() const { return uint8_t(unsigned(va_)); }
    uint8_t vr() const { return uint8_t(unsigned(vr_)); }
    unsigned rc() const { return rc_; }
    bool peer_busy() const { return peer_busy_; }
    bool own_busy() const { return false; }  // messages go to layer 3 at once
    bool reject_exception() const { return reject_exception_; }
    bool ack_pending() const { return ack_pending_; }
    bool l3_initiated() const { return l3_initiated_; }
    bool establishable() const { return establishable_; }
    // Messages wait to be sent / frames are being sent again / a poll awaits
    // its final.
    bool queued_up() const { return waiting() > 0; }
    bool retransmitting() const { return vs_ != vs_high_; }
    bool poll_outstanding() const { return poll_outstanding_; }
    bool t200_running() const { return timers_->Running(t200); }
    bool t203_running() const { return timers_->Running(t203); }
    // Messages not yet sent, and sent but not yet acknowledged.
    size_t waiting() const { return queue_.size() - unacked(); }
    size_t unacked() const { return size_t(unsigned(vs_ - va_)); }

    // "multiple-frame-established vs 3 va 2 vr 5 rc 0 queue 4/1 peer-busy"
    void Print(std::ostream& os) const;

    // The timers' indices in the set.
    enum : unsigned { t200, t203, timer_count };

private:
    void OnTimer(unsigned index) override;
    void OnT200();
    void OnT203();

    void OnI(Frame const& f, uint8_t const* info);
    void OnSupervisory(Frame const& f);
    void OnSabme(Frame const& f);
    void OnDisc(Frame const& f);
    void OnUa(Frame const& f);
    void OnDm(Frame const& f);
    void OnFrmr(Frame const& f);
    // A frame that breaks the rules of its kind: the frame rejection
    // condition, which re-establishes an established link.
    void Reject(ErrorCause cause, char const* text);
    // A frame too short to be one: counted and dropped, nothing else.
    void Invalid(char const* text);

    void EstablishDataLink();
    void Reestablish(ErrorCause cause, char const* text);
    void EnterEstablished(bool indicate);
    void EnterReleased();
    void ClearExceptions();
    void DiscardQueue();
    // V(A) <= N(R) <= the highest V(S) sent, modulo 128.
    bool NrValid(Sequence nr) const { return va_ <= nr <= vs_high_; }
    void Acknowledge(Sequence nr);
    void NrError();
    void UpdateAck(Sequence nr);
    void Retransmit() { vs_ = va_; }
    void SendQueued();
    void SendAck();
    void TransmitEnquiry();
    void EnquiryResponse();
    void RetransmitLast();
    void TransmitI(size_t index, bool p);
    void TransmitS(FrameKind kind, bool command, bool pf);
    void TransmitU(FrameKind kind, bool command, bool pf);
    void StartT200() { timers_->Start(t200, params_.t200_ms); }
    void StartT203() { timers_->Start(t203, params_.t203_ms); }
    void StopT200() { timers_->Stop(t200); }
    void StopT203() { timers_->Stop(t203); }
    void Error(ErrorCause cause, char const* text);
    void CheckCongestion();

    LapdParams const params_;
    Address const address_;
    Notify& notify_;
    State state_ = State::tei_assigned;
    Sequence vs_, va_, vr_;
    // The highest V(S) reached since the last acknowledgement or reset.
    Sequence vs_high_;
    unsigned rc_ = 0;
    bool peer_busy_ = false;
    bool reject_exception_ = false;
    bool ack_pending_ = false;
    bool l3_initiated_ = false;
    bool establishable_ = false;
    bool poll_outstanding_ = false;
    bool congested_ = false;
    // Layer-3 messages from the one numbered V(A) on: the first unacked()
    // have been sent, the rest wait.
    std::deque<Octets> queue_;
    Octets frame_;
    std::unique_ptr<TimerSet> const timers_;
    Counters counters_;
};

char const* NameOf(Lapd::State state);

}  // namespace ISDN
