#include "signalling/hdlc/hdlc_channel.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/hw_mux.h"
#include "hardware/mcc_channel.h"
#include "runtime/log/ext.h"
#include "server/trace_ctl.h"

namespace {

// Frames of up to max_frame octets, delivered and sent from the first byte.
uint32_t const rx_threshold = 1;
uint32_t const tx_threshold = 1;

}  // namespace

HDLC::HDLC(Receiver& receiver, int line, Mode mode)
    : receiver_(receiver), line_(line), mode_(mode) {
    event_.Bind("HDLC::OnEvent", &HDLC::OnEvent, this);
}

HDLC::~HDLC() { Deactivate(); }

void HDLC::PutHeader(std::ostream& os) const { os << "HDLC[" << line_ << "]: "; }

bool HDLC::Activate() {
    if (IsActive()) return true;
    Mcc::Channel channel = Mcc::Open(O_RDWR | O_NONBLOCK | O_CLOEXEC,
                                     {mode_, uint32_t(max_frame), 0, rx_threshold, tx_threshold});
    if (channel.failed != Mcc::Channel::none) {
        std::cerr << ext::header(this) << Mcc::FailureText(channel.failed)
                  << std::strerror(channel.error) << std::endl;
        return false;
    }
    HwMux& mux = HwMux::instance();
    if (!mux.Connect(line_, channel.timeslot) || !mux.Connect(channel.timeslot, line_)) {
        std::cerr << ext::header(this) << "the switch refuses channel " << channel.timeslot
                  << std::endl;
        channel_ = channel.timeslot;
        Unswitch();
        channel_ = -1;
        return false;
    }
    channel_ = channel.timeslot;
    event_.Schedule(channel.fd, POLLIN);
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "channel " << channel_ << " on the line" << std::endl;
    return true;
}

void HDLC::Deactivate() {
    if (!IsActive()) return;
    Unswitch();
    event_.Release();
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "channel " << channel_ << " released" << std::endl;
    channel_ = -1;
}

void HDLC::Unswitch() {
    HwMux& mux = HwMux::instance();
    mux.Disconnect(line_);
    mux.Disconnect(channel_);
}

bool HDLC::Send(uint8_t const* frame, size_t size) {
    if (!IsActive() || size == 0 || size > max_frame) {
        ++counters_.txDiscard;
        return false;
    }
    ssize_t const written = Device::write(event_.lowlevel_fd(), frame, size);
    if (written == ssize_t(size)) {
        ++counters_.txSU;
        if (traces.signalling.hdlc)
            std::clog << ext::header(this) << "tx " << ext::hex(frame, frame + size)
                      << std::endl;
        return true;
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
        ++counters_.txOverflow;
        return false;
    }
    ++counters_.txError;
    if (written >= 0) {
        std::cerr << ext::header(this) << "frame of " << size << " octets cut to " << written
                  << std::endl;
        return false;
    }
    Errno const error;
    std::cerr << ext::header(this) << "frame of " << size << " octets not sent: " << error
              << std::endl;
    return false;
}

void HDLC::OnEvent(int fd, short revents) {
    uint8_t frame[max_frame];
    Mcc::ServeReads(event_, fd, revents, channel_, ext::header(this), frame, sizeof(frame),
                    [&](size_t got) {
                        ++counters_.rxSU;
                        if (traces.signalling.hdlc)
                            std::clog << ext::header(this) << "rx "
                                      << ext::hex(frame, frame + got) << std::endl;
                        receiver_.OnFrame(frame, got);
                        // The receiver may have taken the channel down.
                        return IsActive();
                    });
}
