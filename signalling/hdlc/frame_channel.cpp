#include "signalling/hdlc/frame_channel.h"

#include <fcntl.h>

#include <cerrno>
#include <iostream>

#include "hardware/device/device.h"
#include "runtime/log/ext.h"

namespace {

// Frames are delivered and sent from their first octet on.
uint32_t const rx_threshold = 1;
uint32_t const tx_threshold = 1;

}  // namespace

Mcc::Channel FrameChannel::Open(Mcc::Mode mode) {
    return Mcc::Open(O_RDWR | O_NONBLOCK | O_CLOEXEC,
                     {mode, uint32_t(max_frame), 0, rx_threshold, tx_threshold});
}

FrameChannel::FrameChannel(Owner& owner) : owner_(owner) {
    event_.Bind("FrameChannel::OnEvent", &FrameChannel::OnEvent, this);
}

void FrameChannel::Attach(Fd const& fd, int timeslot) {
    timeslot_ = timeslot;
    failing_ = 0;
    event_.Schedule(fd, POLLIN);
}

void FrameChannel::Release() {
    event_.Release();
    timeslot_ = -1;
}

bool FrameChannel::Send(uint8_t const* frame, size_t size) {
    if (!IsActive() || size == 0 || size > max_frame) {
        ++counters_.txDiscard;
        return false;
    }
    ssize_t const written = Device::write(event_.lowlevel_fd(), frame, size);
    if (written == ssize_t(size)) {
        ++counters_.txSU;
        if (failing_ > 0)
            std::clog << ext::header(&owner_) << "frames sent again after " << failing_
                      << " failed" << std::endl;
        failing_ = 0;
        return true;
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
        ++counters_.txOverflow;
        return false;
    }
    Failed(size, long(written));
    return false;
}

void FrameChannel::Failed(size_t size, long written) {
    Errno const error;
    ++counters_.txError;
    if (failing_++ > 0) return;
    std::cerr << ext::header(&owner_) << "frame of " << size << " octets ";
    if (written >= 0)
        std::cerr << "cut to " << written;
    else
        std::cerr << "not sent: " << error;
    std::cerr << " (the frames that fail after it are counted only)" << std::endl;
}

void FrameChannel::OnEvent(int fd, short revents) {
    uint8_t frame[max_frame];
    Mcc::ServeReads(event_, fd, revents, timeslot_, ext::header(&owner_), frame, sizeof(frame),
                    [&](size_t got) {
                        ++counters_.rxSU;
                        owner_.OnFrame(frame, got);
                        // The owner may have taken the channel down.
                        return IsActive();
                    });
}
