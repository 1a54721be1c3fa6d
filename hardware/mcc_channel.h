#pragma once
// A channel of the board's MCC, the multi-channel controller behind
// /dev/mcc/ctl. Each open of the device may become one channel: MCC_ALLOCATE
// gives it a kind and its receive settings, MCC_TIMESLOT names the switch
// channel that carries it, and from then on the descriptor reads and writes
// the channel's bytes. MCC_RESOURCES reports how many channels of each kind
// the controller has. The raw MCC slots, the voice slots and the T.38 slots
// allocate their channels here, and the HDLC channels of the signalling
// links.

#include <poll.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iostream>

#include "hardware/device/mcc_driver.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

namespace Mcc {

inline constexpr char device[] = "/dev/mcc/ctl";

// Word 0 of the channel record: the kind of channel.
using Mode = Device::MccChannel::Mode;
using Device::MccChannel::bri;
using Device::MccChannel::data;
using Device::MccChannel::ss7;
using Device::MccChannel::transparent;

// The channel record of MCC_ALLOCATE, five 32-bit words in the board's order.
struct ChannelRecord {
    uint32_t mode;
    uint32_t rx_packet_size;
    uint32_t reserved;
    uint32_t rx_threshold;
    uint32_t tx_threshold;
};

// The channel counts of MCC_RESOURCES.
struct Counts {
    uint32_t data = 0;
    uint32_t bri = 0;
    uint32_t transparent = 0;
};

// A channel as Open leaves it: the descriptor and its switch channel, or
// the step that failed with its errno (the descriptor is then closed).
struct Channel {
    enum Step { none, open, allocate, ask_timeslot };

    Fd fd;
    int timeslot = -1;
    Step failed = none;
    int error = 0;
};

// Opens the device with these flags, allocates a channel of the record on
// it and asks its switch channel.
Channel Open(int flags, ChannelRecord const& record);
// The line that starts the report of a failed step ("MCC_ALLOCATE fail: ");
// the error text follows it.
char const* FailureText(Channel::Step step);

// How reading a channel dry ended: nothing more waiting, the receiver
// stopped it, the driver closed the receive side (a read of 0 bytes), or a
// read failed (errno tells why).
enum class ReadEnd { drained, stopped, ended, failed };

// Reads the non-blocking channel record by record into the buffer, handing
// each record's size to `take` (false from it stops), until nothing waits.
template <class Take>
ReadEnd ReadRecords(int fd, void* buffer, size_t size, Take take);

// Serves what poll returned for a channel's event: reads the channel dry as
// ReadRecords does. A channel whose receive side ended, whose read failed, or
// that poll found hung up or in error is reported on the error stream after
// the owner's header and leaves the poll set: a descriptor at its end, or
// hung up, is ready on every poll. The owner keeps it, and its channel, for
// writing.
template <class Header, class Take>
void ServeReads(EventHandler& event, int fd, short revents, int timeslot, Header const& header,
                void* buffer, size_t size, Take take);

// Makes the open descriptor a channel; 0, or -1 with errno.
int Allocate(int fd, ChannelRecord const& record);
// The switch channel of the descriptor's channel, or -1 with errno.
int Timeslot(int fd);
// The channel counts; false with errno when the request fails.
bool Resources(int fd, Counts& counts);

// One read of the channel, as the device layer does it.
long ReadOnce(int fd, void* buffer, size_t size);

template <class Take>
ReadEnd ReadRecords(int fd, void* buffer, size_t size, Take take) {
    for (;;) {
        long const got = ReadOnce(fd, buffer, size);
        if (got > 0) {
            if (!take(size_t(got))) return ReadEnd::stopped;
            continue;
        }
        if (got == 0) return ReadEnd::ended;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReadEnd::drained : ReadEnd::failed;
    }
}

template <class Header, class Take>
void ServeReads(EventHandler& event, int fd, short revents, int timeslot, Header const& header,
                void* buffer, size_t size, Take take) {
    if (revents & POLLIN) {
        ReadEnd const end = ReadRecords(fd, buffer, size, take);
        if (end == ReadEnd::drained || end == ReadEnd::stopped) return;
        if (end == ReadEnd::failed) {
            Errno const error;
            std::cerr << header << "channel read fail: " << error << std::endl;
        }
    } else if (!(revents & (POLLERR | POLLHUP | POLLNVAL))) {
        return;
    }
    std::cerr << header << "channel " << timeslot << " receives no more" << std::endl;
    event.mux_detach();
}

}  // namespace Mcc
