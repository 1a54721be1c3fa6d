#include "hardware/hw_mux.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/hal_driver.h"

namespace {

char const device_path[] = "/dev/hal";
int const refresh_per_run = 128;

}  // namespace

HwMux& HwMux::instance() {
    static HwMux mux;
    return mux;
}

HwMux::HwMux() {
    for (uint16_t& entry : table_) entry = disabled;
    std::clog << "hwMux: init" << std::endl;
    IsOpened();
    refresh_.Bind(this, &HwMux::OnDPC);
}

bool HwMux::IsOpened() {
    if (fd_) return true;
    int const fd = Device::open(device_path, O_RDWR);
    if (fd < 0) {
        Errno const error;
        std::clog << "hwMux: can't open device: " << error << std::endl;
        return false;
    }
    fd_ = Fd(fd);
    std::clog << "hwMux: device opened" << std::endl;
    for (int i = 0; i < bus_outputs; ++i) {
        Device::MuxDisableRecord record{uint32_t(first_bus_output + i)};
        Device::ioctl(fd_.lowlevel_fd(), Device::HAL_MUX_DISABLE, record.data());
        table_[i] = disabled;
    }
    cursor_ = 0;
    refresh_.Activate();
    ::usleep(500);
    return true;
}

int HwMux::index_of(int output) {
    int const index = output - first_bus_output;
    return index >= 0 && index < bus_outputs ? index : -1;
}

bool HwMux::Connect(int source, int output) {
    if (!IsOpened() || source < 0 || output < 0) {
        std::clog << "hwMux: ERROR not opened" << std::endl;
        return false;
    }
    if (int const index = index_of(output); index >= 0) table_[index] = uint16_t(source);
    Device::MuxRecord record{uint32_t(output), uint32_t(source)};
    if (Device::ioctl(fd_.lowlevel_fd(), Device::HAL_MUX_CONNECT, record.data()) < 0) {
        Errno const error;
        std::clog << "hwMux: connect " << source << " -> " << output << " failed: " << error
                  << std::endl;
        return false;
    }
    return true;
}

int HwMux::set_output(int output, uint16_t state, uint32_t request, unsigned char byte) {
    if (!IsOpened() || output < 0) return -1;
    if (int const index = index_of(output); index >= 0) table_[index] = state;
    Device::MuxRecord record{uint32_t(output), byte};
    return Device::ioctl(fd_.lowlevel_fd(), request, record.data()) < 0 ? errno : 0;
}

bool HwMux::Disconnect(int output) {
    int const error = set_output(output, constant, Device::HAL_MUX_WRITE, idle_byte);
    if (error > 0)
        std::clog << "hwMux: disconnect failed " << output << " : " << std::strerror(error)
                  << std::endl;
    return error == 0;
}

bool HwMux::Disable(int output) {
    int const error = set_output(output, disabled, Device::HAL_MUX_DISABLE, 0);
    if (error > 0)
        std::clog << "hwMux: disable failed " << output << " : " << std::strerror(error)
                  << std::endl;
    return error == 0;
}

bool HwMux::Write(int output, unsigned char byte) {
    int const error = set_output(output, constant, Device::HAL_MUX_WRITE, byte);
    if (error > 0)
        std::clog << "hwMux: write failed " << output << " <- 0x" << std::hex << int(byte)
                  << std::dec << " : " << std::strerror(error) << std::endl;
    return error == 0;
}

int HwMux::Read(int channel) {
    if (!IsOpened() || channel < 0) return 255;
    Device::MuxRecord record{uint32_t(channel), 255};
    if (Device::ioctl(fd_.lowlevel_fd(), Device::HAL_MUX_READ, record.data()) >= 0)
        return int(record.get32(Device::Mux::byte) & 0xFF);
    Errno const error;
    std::clog << "hwMux: read failed " << channel << " -> 0x" << std::hex
              << record.get32(Device::Mux::byte) << std::dec << " : " << error << std::endl;
    return 255;
}

void HwMux::RefreshChannel(int index) {
    if (table_[index] != disabled) return;
    Device::MuxDisableRecord record{uint32_t(first_bus_output + index)};
    Device::ioctl(fd_.lowlevel_fd(), Device::HAL_MUX_DISABLE, record.data());
}

void HwMux::OnDPC() {
    if (!fd_) return;
    for (int i = 0; i < refresh_per_run; ++i) {
        cursor_ = (cursor_ + 1) % bus_outputs;
        RefreshChannel(int(cursor_));
    }
}
