#include "hardware/record_device.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "runtime/system/fd.h"

namespace Hardware {

bool RecordDevice::init() {
    Fd const fd(Device::open(spec_.path, spec_.flags | O_NONBLOCK));
    if (!fd) {
        Errno const error;
        std::cerr << spec_.open_failure << error << std::endl;
        return false;
    }
    Bind(spec_.handler, &RecordDevice::OnEvent, this);
    Schedule(fd, POLLIN);
    return true;
}

int RecordDevice::fd() {
    if (!IsActive()) init();
    return lowlevel_fd();
}

void RecordDevice::close(char const* why) {
    std::cerr << spec_.word << " interface closed: " << why << std::endl;
    Release();
    closed();
}

void RecordDevice::OnEvent(int, short revents) {
    // The loop serves every handler after any poll: only a readable device
    // is read, and one that hangs up or fails is closed.
    if (!(revents & POLLIN)) {
        if (revents & (POLLERR | POLLHUP | POLLNVAL)) close(revents & POLLHUP ? "hang-up" : "error");
        return;
    }
    for (;;) {
        uint8_t record[max_record];
        ssize_t const got = Device::read(lowlevel_fd(), record, spec_.record_size);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR) return;
            close(std::strerror(errno));
            return;
        }
        if (got == 0) {
            close("hang-up");
            return;
        }
        if (size_t(got) != spec_.record_size) {
            std::cerr << "fail to read from " << spec_.word << ": a record of " << got
                      << " bytes, not " << spec_.record_size << std::endl;
            return;
        }
        dispatch(record);
    }
}

}  // namespace Hardware
