#pragma once
// HDLC, the HDLC channel under a signalling slot: one channel of the board's
// MCC carrying whole frames (the driver adds the flags and the CRC on the
// line and strips them again), joined on the TDM switch both ways to the
// trunk timeslot the link runs on. The link protocol above it (the SS7 link,
// a LAPD link, or the HDLC slot's raw frames) gets every received frame
// through HDLC::Receiver and sends with Send, one frame per call; the
// channel counts what it sent, lost and received for the hdlcLinkInfo
// report. Its traces are written while the "signalling.hdlc" switch is on.

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "runtime/loop/event.h"

class HDLC {
public:
    // The largest frame a read delivers and a write sends.
    static constexpr size_t max_frame = 512;

    class Receiver {
    public:
        virtual ~Receiver() = default;
        // One frame received on the line, without flags and CRC.
        virtual void OnFrame(uint8_t const* frame, size_t size) = 0;
    };

    // The channel counters of hdlcLinkInfo.
    struct Counters {
        uint64_t txSU = 0;        // frames the driver took
        uint64_t txDiscard = 0;   // frames not sent: the channel down, or
                                  // not 1 to max_frame octets long
        uint64_t txError = 0;     // frames the driver refused
        uint64_t txOverflow = 0;  // frames the driver had no room for
        uint64_t rxSU = 0;        // frames received
    };

    // The MCC channel modes the links ask for.
    enum Mode : uint32_t { data = 0, bri = 1, ss7 = 3 };

    // A channel for the timeslot `line` (a switch channel), reporting to
    // `receiver`; nothing is allocated before Activate.
    HDLC(Receiver& receiver, int line, Mode mode);
    HDLC(HDLC const&) = delete;
    HDLC& operator=(HDLC const&) = delete;
    ~HDLC();

    // Opens /dev/mcc/ctl, allocates the channel, asks its switch channel and
    // joins it to the line both ways; false, with a line on the error stream
    // and nothing kept, when a step fails. True when already active.
    bool Activate();
    // Takes the channel off the line and releases it.
    void Deactivate();
    bool IsActive() const { return event_.IsActive(); }

    // Sends one frame; false when it was not sent (counted by cause).
    bool Send(uint8_t const* frame, size_t size);

    Counters const& counters() const { return counters_; }
    // The MCC channel's switch channel while active, else -1.
    int channel() const { return channel_; }
    int line() const { return line_; }

    // "HDLC[17]: "
    void PutHeader(std::ostream& os) const;

private:
    void OnEvent(int fd, short revents);
    // Puts the line back to the idle byte and the channel's input off.
    void Unswitch();

    Receiver& receiver_;
    int const line_;
    Mode const mode_;
    int channel_ = -1;
    Counters counters_;
    // Holds the channel's descriptor: releasing it releases the channel.
    Event event_;
};
