#pragma once
// HDLC, the HDLC channel under a signalling slot: a frame channel of the
// board's MCC (frame_channel.h) joined on the TDM switch both ways to the
// trunk timeslot the link runs on. The link protocol above it (the SS7 link,
// a LAPD link, or the HDLC slot's raw frames) gets every received frame
// through HDLC::Receiver and sends with Send, one frame per call; the
// channel counts what it sent, lost and received for the hdlcLinkInfo
// report. Its traces are written while the "signalling.hdlc" switch is on.

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "hardware/mcc_channel.h"
#include "signalling/hdlc/frame_channel.h"

class HDLC : private FrameChannel::Owner {
public:
    static constexpr size_t max_frame = FrameChannel::max_frame;

    class Receiver {
    public:
        virtual ~Receiver() = default;
        // One frame received on the line, without flags and CRC.
        virtual void OnFrame(uint8_t const* frame, size_t size) = 0;
    };

    using Counters = FrameChannel::Counters;

    // A channel of the MCC mode for the switch channel `line`, which is
    // channel `timeslot` of trunk `trunk` (an E1 trunk or a BRI port),
    // reporting to `receiver`; nothing is allocated before Activate.
    HDLC(Receiver& receiver, int line, int trunk, int timeslot, Mcc::Mode mode);
    HDLC(HDLC const&) = delete;
    HDLC& operator=(HDLC const&) = delete;
    ~HDLC();

    // Opens /dev/mcc/ctl, allocates the channel, asks its switch channel and
    // joins it to the line both ways; false, with a line on the error stream
    // and nothing kept, when a step fails. True when already active.
    bool Activate();
    // Takes the channel off the line and releases it.
    void Deactivate();
    bool IsActive() const { return channel_.IsActive(); }

    // Sends one frame; false when it was not sent (counted by cause).
    bool Send(uint8_t const* frame, size_t size);

    Counters const& counters() const { return channel_.counters(); }
    // The MCC channel's switch channel while active, else -1.
    int channel() const { return channel_.timeslot(); }
    int line() const { return line_; }

    // "hdlc [1/5]: " for timeslot 5 of trunk 1.
    void PutHeader(std::ostream& os) const override;

private:
    void OnFrame(uint8_t const* frame, size_t size) override;
    // Puts the line back to the idle byte and the channel's input off.
    void Unswitch(int channel);

    Receiver& receiver_;
    int const line_;
    int const trunk_;
    int const timeslot_;
    Mcc::Mode const mode_;
    FrameChannel channel_;
};
