#include "hardware/spi_ctrl.h"

#include <fcntl.h>

#include <cerrno>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/hal_driver.h"
#include "hardware/trunk_status.h"

namespace {

char const device_path[] = "/dev/hal";

// Framer registers.
enum : unsigned {
    reg_line = 48,
    reg_enable = 50,
    reg_status = 51,
    reg_mode = 52,
    reg_clock = 87,
};
unsigned const channel_disabled = 0x80;
unsigned const channel_enabled = 0;
unsigned const clock_slave = 0x30;
unsigned const clock_master = 0x38;

// Status register bits.
unsigned const status_carrier = 0x01;
unsigned const status_frame = 0x04;
unsigned const status_slip = 0x20;
unsigned const status_alarms = 0xC0;
unsigned const status_rai = 0x80;
unsigned const status_normal = 0xC0;

ACP::TrunkState::NamedNumber StateOf(unsigned status) {
    if (!(status & status_carrier)) return ACP::TrunkState::lossCarrier;
    if (!(status & status_frame)) return ACP::TrunkState::lossBF;
    if ((status & status_alarms) == status_rai) return ACP::TrunkState::rai;
    if ((status & status_alarms) == status_normal) return ACP::TrunkState::normal;
    return ACP::TrunkState::ais;
}

}  // namespace

spiCtrl& spiCtrl::instance() {
    static spiCtrl spi;
    return spi;
}

spiCtrl::spiCtrl(unsigned period_ms) : period_ms_(period_ms) {
    init_device_and_channels();
}

spiCtrl::~spiCtrl() {
    if (!fd_) return;
    poll_timer_.reset();
    for (int channel = 0; channel < channels; ++channel) disable_channel(channel);
    clock(-1);
    fd_.close();
}

void spiCtrl::init_device_and_channels() {
    if (fd_ || !enabled_) return;
    std::clog << "spi: try init" << std::endl;
    // Close-on-exec: child programs get no descriptor of the framers.
    int const fd = Device::open(device_path, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::clog << "spi: /dev/hal open fail" << std::endl;
        return;
    }
    fd_ = Fd(fd);
    for (int channel = 0; channel < channels; ++channel) {
        init_channel(channel);
        enable_channel(channel);
    }
}

bool spiCtrl::ready(int channel, char const* complaint) {
    if (!enabled_) return false;
    if (channel < 0 || channel >= channels) {
        std::clog << complaint << channel << std::endl;
        return false;
    }
    init_device_and_channels();
    return true;
}

void spiCtrl::init_channel(int channel) {
    if (!ready(channel, "spi: bad channel for init ")) return;
    unsigned const ch = unsigned(channel);
    write(ch, reg_enable, channel_disabled);
    write(ch, reg_line, 0x08);
    write(ch, reg_clock, clock_slave);
    write(ch, reg_mode, 0x60);
    write(ch, 53, 0);
    write(ch, 54, 0);
    write(ch, 55, 0);
    std::clog << "spi: init channel " << channel << std::endl;
}

void spiCtrl::enable_channel(int channel) {
    if (!ready(channel, "spi: bad channel for enable ")) return;
    write(unsigned(channel), reg_enable, channel_enabled);
    std::clog << "spi: enable channel " << channel << std::endl;
}

void spiCtrl::disable_channel(int channel) {
    if (!ready(channel, "spi: bad channel for disable ")) return;
    write(unsigned(channel), reg_enable, channel_disabled);
    std::clog << "spi: disable channel " << channel << std::endl;
}

void spiCtrl::clock(int channel) {
    if (channel < -1 || channel >= channels) {
        std::clog << "spi: bad channel for set clock master " << channel << std::endl;
        return;
    }
    init_device_and_channels();
    for (unsigned ch = 0; ch < channels; ++ch) write(ch, reg_clock, clock_slave);
    if (channel < 0) {
        std::clog << "spi: clock master disabled" << std::endl;
        return;
    }
    write(unsigned(channel), reg_clock, clock_master);
    std::clog << "spi: set clock master on channel " << channel << std::endl;
}

bool spiCtrl::no_spi() {
    if (errno != ENODEV) return false;
    enabled_ = false;
    poll_timer_.reset();
    std::clog << "spi: hal without spi" << std::endl;
    return true;
}

unsigned spiCtrl::read(unsigned channel, unsigned address) {
    if (!enabled_ || !fd_) return 0;
    Device::SpiRecord record;
    record[Device::Spi::framer] = uint8_t(channel);
    record[Device::Spi::reg] = uint8_t(address);
    record[Device::Spi::value] = 0xFF;
    int const result = Device::ioctl(fd_.lowlevel_fd(), Device::HAL_SPI_READ, record.data());
    if (result != -1) return unsigned(result) & 0xFF;
    if (!no_spi())
        std::clog << "spi: read error: channel=" << channel << " addr=" << address << std::endl;
    return 0;
}

void spiCtrl::write(unsigned channel, unsigned address, unsigned value) {
    if (!enabled_ || !fd_) return;
    Device::SpiRecord record;
    record[Device::Spi::framer] = uint8_t(channel);
    record[Device::Spi::reg] = uint8_t(address);
    record[Device::Spi::value] = uint8_t(value);
    if (Device::ioctl(fd_.lowlevel_fd(), Device::HAL_SPI_WRITE, record.data()) != -1 || no_spi())
        return;
    std::clog << "spi: write error: channel=" << channel << " addr=" << address << " data=" << value
              << std::endl;
}

void spiCtrl::status() {
    if (!enabled_) return;
    for (int channel = 0; channel < channels; ++channel) {
        unsigned const value = read(unsigned(channel), reg_status);
        TrunkReport report;
        report.trunk = channel;
        report.state = StateOf(value);
        bool const slip = value & status_slip;
        report.slips = slip && !slips_latch_;
        slips_latch_ = slip;
        SendSignal(TrunkStatusSignal(report, ACP::TrunkType::bri));
    }
    poll_timer_.set(period_ms_, &spiCtrl::status, this);
}

void spiCtrl::OnConnect() {
    if (fd_ && enabled_) poll_timer_.set(period_ms_, &spiCtrl::status, this);
}
