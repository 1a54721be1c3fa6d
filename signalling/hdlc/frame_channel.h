#pragma once
// A frame channel: a descriptor that carries whole frames, one a read or a
// write (an HDLC channel of the MCC, whose controller adds the flags and the
// CRC on the line and strips them again). The HDLC channel under the line
// slots and the ISDN slots stand on it: Open allocates an MCC channel of the
// mode a link asks for, with frames of up to max_frame octets delivered and
// sent from their first octet; Attach watches a channel and hands every
// frame read to the owner; Send writes one frame. It counts what it sent,
// lost and received. A write that fails is counted, and a streak of failures
// writes two lines on the error stream whatever the link sends meanwhile:
// one at its first failure, and its count once a frame goes out again.

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "hardware/mcc_channel.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

class FrameChannel {
public:
    // The largest frame a read delivers and a write sends.
    static constexpr size_t max_frame = 512;

    class Owner {
    public:
        // One frame received, without flags and CRC.
        virtual void OnFrame(uint8_t const* frame, size_t size) = 0;
        // The prefix of the channel's lines on the error stream.
        virtual void PutHeader(std::ostream& os) const = 0;

    protected:
        ~Owner() = default;
    };

    // The counters of hdlcLinkInfo.
    struct Counters {
        uint64_t txSU = 0;        // frames the driver took
        uint64_t txDiscard = 0;   // frames not sent: the channel down, or
                                  // not 1 to max_frame octets long
        uint64_t txError = 0;     // frames the driver refused
        uint64_t txOverflow = 0;  // frames the driver had no room for
        uint64_t rxSU = 0;        // frames received
    };

    // Opens /dev/mcc/ctl and allocates a channel of the mode on it: the
    // descriptor and its switch channel, or the step that failed.
    static Mcc::Channel Open(Mcc::Mode mode);

    explicit FrameChannel(Owner& owner);
    FrameChannel(FrameChannel const&) = delete;
    FrameChannel& operator=(FrameChannel const&) = delete;

    // Watches the descriptor (a duplicate is kept) on the switch channel.
    void Attach(Fd const& fd, int timeslot);
    // Stops watching it and closes it, which releases the channel.
    void Release();
    bool IsActive() const { return event_.IsActive(); }
    // The switch channel while attached, else -1.
    int timeslot() const { return timeslot_; }

    // Sends one frame; false when it was not sent (counted by cause).
    bool Send(uint8_t const* frame, size_t size);

    Counters const& counters() const { return counters_; }

private:
    void OnEvent(int fd, short revents);
    // A failed write: counted, and said when it starts a streak.
    void Failed(size_t size, long written);

    Owner& owner_;
    int timeslot_ = -1;
    Counters counters_;
    uint64_t failing_ = 0;  // writes failed since the last one that went out
    Event event_;
};
