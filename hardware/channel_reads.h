#pragma once
// Reading a channel of the board (an MCC or DSP data channel) when the loop
// finds its descriptor readable: read dry, one frame or chunk per read, each
// handed on as it comes. The MCC slots, the HDLC channel and the ISDN slots
// read their channels this way.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iostream>

#include "hardware/device/device.h"
#include "runtime/log/ext.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

namespace Hardware {

// Reads the descriptor of `event` until it has nothing more, handing each
// read's bytes to `take(bytes, size)`, which returns false to stop. When the
// driver has closed the channel's receive side, writes "channel N receives
// no more" after the owner's header and stops watching the descriptor (one
// at its end stays readable); another failure than EAGAIN writes "channel
// read fail: " and the error.
template <class Owner, class Take>
void ReadChannel(Event& event, Owner const* owner, int channel, uint8_t* buffer, size_t size,
                 Take take) {
    for (;;) {
        ssize_t const got = Device::read(event.lowlevel_fd(), buffer, size);
        if (got > 0) {
            if (!take(buffer, size_t(got))) return;
            continue;
        }
        if (got == 0) {
            std::cerr << ext::header(owner) << "channel " << channel << " receives no more"
                      << std::endl;
            event.SetEvents(0);
            return;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            Errno const error;
            std::cerr << ext::header(owner) << "channel read fail: " << error << std::endl;
        }
        return;
    }
}

}  // namespace Hardware
