#include "rtp/radio/rtp_ext_session.h"

#include <fcntl.h>

#include <cerrno>
#include <iostream>
#include <sstream>

#include "hardware/device/device.h"
#include "hardware/device/rtp_ext_driver.h"
#include "hardware/device_names.h"
#include "rtp/driver_end.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"

namespace RTPSignalling {

RtpExtSession::RtpExtSession(std::string name) : name_(std::move(name)) {}

RtpExtSession::~RtpExtSession() {
    Close();
}

bool RtpExtSession::Open(uint16_t etype, int fd_rtp, int pid_rtp, std::ostream& err) {
    Close();
    Fd const fd(Device::open(GetRtpExtDevName(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        Errno const error;
        err << "device \"" << GetRtpExtDevName() << "\" open fail: " << error << std::endl;
        return false;
    }
    event_.Bind(name_, &RtpExtSession::OnReadable, this);
    event_.Schedule(fd, POLLIN);
    Device::RtpExtInitRecord init;
    init.put16(Device::RtpExtInit::etype, etype);
    Device::RtpExtAttachRecord attach;
    attach.put32(Device::RtpAttach::fd_rtp, uint32_t(fd_rtp));
    attach.put32(Device::RtpAttach::pid_rtp, uint32_t(pid_rtp));
    if (!Request(Device::RTP_EXT_INIT, "RTP_EXT_INIT", init.data(), err) ||
        (fd_rtp >= 0 && !Request(Device::RTP_EXT_ATTACH, "RTP_EXT_ATTACH", attach.data(), err))) {
        Close();
        return false;
    }
    return true;
}

void RtpExtSession::Close() {
    if (event_.IsActive()) event_.Release();
}

bool RtpExtSession::StartStream() {
    return Request(Device::RTP_EXT_START, "RTP_EXT_START");
}

bool RtpExtSession::StopStream() {
    return Request(Device::RTP_EXT_STOP, "RTP_EXT_STOP");
}

bool RtpExtSession::Request(uint32_t number, char const* what, uint8_t* record, std::ostream& err) {
    if (!event_.IsActive()) {
        error_ = EBADF;
        err << what << " fail: the session is closed" << std::endl;
        return false;
    }
    int const result = record ? Device::ioctl(event_.lowlevel_fd(), number, record)
                              : Device::ioctlValue(event_.lowlevel_fd(), number, 0);
    if (result >= 0) return true;
    Errno const error;
    error_ = error.value();
    err << what << " fail: " << error << std::endl;
    return false;
}

bool RtpExtSession::Request(uint32_t number, char const* what) {
    std::ostringstream err;
    if (Request(number, what, nullptr, err)) return true;
    std::cerr << ext::header(this) << err.str() << std::flush;
    return false;
}

bool RtpExtSession::SendRecord(uint16_t kind, std::vector<uint8_t> const& data) {
    if (!event_.IsActive() || data.size() > Device::RtpExtSignal::max_data) {
        error_ = event_.IsActive() ? EMSGSIZE : EBADF;
        return false;
    }
    uint8_t record[Device::RtpExtSignal::max_record];
    Device::RtpExtSignal::putHeader(record, kind, uint16_t(data.size()));
    std::copy(data.begin(), data.end(), record + Device::RtpExtSignal::header_size);
    size_t const size = Device::RtpExtSignal::header_size + data.size();
    if (Device::write(event_.lowlevel_fd(), record, size) == ssize_t(size)) {
        if (write_failing_)
            std::clog << ext::header(this) << "writes to rtp_ext go again" << std::endl;
        write_failing_ = false;
        return true;
    }
    Errno const error;
    error_ = error.value();
    if (!write_failing_)
        std::cerr << ext::header(this) << "fail to write to rtp_ext: " << error << std::endl;
    write_failing_ = true;
    return false;
}

void RtpExtSession::OnReadable(int, short revents) {
    if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
    while (event_.IsActive()) {
        uint8_t record[Device::RtpExtSignal::max_record];
        ssize_t const got = Device::read(event_.lowlevel_fd(), record, sizeof(record));
        if (got < 0) {
            Errno const error;
            if (error.value() == EAGAIN) return;
            std::cerr << ext::header(this) << "fail to read from rtp_ext: " << error << std::endl;
            return Lost(error.value());
        }
        if (got == 0 && DriverHungUp(event_.lowlevel_fd())) {
            std::cerr << ext::header(this) << "rtp_ext ended the session" << std::endl;
            return Lost(EPIPE);
        }
        if (got == 0) {
            std::cerr << ext::header(this) << "rtp_ext record of 0 bytes dropped" << std::endl;
            continue;
        }
        if (control_) control_->Received(record, size_t(got));
    }
}

void RtpExtSession::Lost(int error) {
    Close();
    if (control_) control_->SessionLost(error);
}

}  // namespace RTPSignalling
