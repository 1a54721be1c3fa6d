#include "signalling/hdlc/hdlc_channel.h"

#include <cstring>
#include <iostream>

#include "hardware/hw_mux.h"
#include "runtime/log/ext.h"
#include "server/trace_ctl.h"

HDLC::HDLC(Receiver& receiver, int line, int trunk, int timeslot, Mcc::Mode mode)
    : receiver_(receiver),
      line_(line),
      trunk_(trunk),
      timeslot_(timeslot),
      mode_(mode),
      channel_(*this) {}

HDLC::~HDLC() { Deactivate(); }

void HDLC::PutHeader(std::ostream& os) const {
    os << "hdlc" << " [" << trunk_ << '/' << timeslot_ << "]: ";
}

bool HDLC::Activate() {
    if (IsActive()) return true;
    Mcc::Channel const channel = FrameChannel::Open(mode_);
    if (channel.failed != Mcc::Channel::none) {
        std::cerr << ext::header(this) << Mcc::FailureText(channel.failed)
                  << std::strerror(channel.error) << std::endl;
        return false;
    }
    HwMux& mux = HwMux::instance();
    if (!mux.Connect(line_, channel.timeslot) || !mux.Connect(channel.timeslot, line_)) {
        std::cerr << ext::header(this) << "the switch refuses channel " << channel.timeslot
                  << std::endl;
        Unswitch(channel.timeslot);
        return false;
    }
    channel_.Attach(channel.fd, channel.timeslot);
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "channel " << channel.timeslot << " on the line"
                  << std::endl;
    return true;
}

void HDLC::Deactivate() {
    if (!IsActive()) return;
    int const channel = channel_.timeslot();
    Unswitch(channel);
    channel_.Release();
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "channel " << channel << " released" << std::endl;
}

void HDLC::Unswitch(int channel) {
    HwMux& mux = HwMux::instance();
    mux.Disconnect(line_);
    mux.Disconnect(channel);
}

bool HDLC::Send(uint8_t const* frame, size_t size) {
    if (!channel_.Send(frame, size)) return false;
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "tx " << ext::hex(frame, frame + size) << std::endl;
    return true;
}

void HDLC::OnFrame(uint8_t const* frame, size_t size) {
    if (traces.signalling.hdlc)
        std::clog << ext::header(this) << "rx " << ext::hex(frame, frame + size) << std::endl;
    receiver_.OnFrame(frame, size);
}
