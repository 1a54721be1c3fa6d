#include "hardware/record_device.h"

#include <fcntl.h>

#include <cerrno>
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

void RecordDevice::OnEvent(int, short revents) {
    if (!(revents & POLLIN)) return;
    for (;;) {
        uint8_t record[max_record];
        ssize_t const got = Device::read(lowlevel_fd(), record, spec_.record_size);
        if (got < 0) {
            Errno const error;
            if (error.value() != EAGAIN)
                std::cerr << "fail to read from " << spec_.word << ": " << error << std::endl;
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
