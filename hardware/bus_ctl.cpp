#include "hardware/bus_ctl.h"

#include <fcntl.h>

#include <iostream>

#include "asn1/asn1.h"
#include "hardware/device/device.h"
#include "hardware/device/hal_driver.h"
#include "hardware/spi_ctrl.h"

namespace {

char const device_path[] = "/dev/hal";
char const header[] = "clkctl: ";

char const* const source_names[] = {"f0", "f1", "f2", "f3", "freerun", "X3", "?1", "?2"};
int const named_sources = sizeof(source_names) / sizeof(source_names[0]);

}  // namespace

BusCtl& BusCtl::instance() {
    static BusCtl clock;
    return clock;
}

void BusCtl::DisableControl() {
    std::clog << "clock control disabled." << std::endl;
    enabled_ = false;
}

bool BusCtl::OnCommand(LGCP::Command const& command) {
    if (!command.clockCfg_isSelected()) return false;
    if (!enabled_) {
        Error(LGCP::ErrorCause::unsupported);
        return true;
    }
    Set(command.get_clockCfg());
    Success();
    return true;
}

bool BusCtl::Open() {
    if (fd_) return true;
    if (!enabled_) return false;
    fd_ = Fd(Device::open(device_path, O_RDWR | O_CLOEXEC));
    return fd_.is_valid();
}

void BusCtl::SetDefault() {
    if (!enabled_) return;
    LGCP::ClockCfg config;
    config.set_clkSel0(LGCP::ClkSel0::internal);
    config.set_bextEn(LGCP::BExtEn::disabled);
    config.set_source(-1);
    Set(config);
}

void BusCtl::Set(LGCP::ClockCfg const& config) {
    if (!Open()) {
        spiCtrl::instance().clock(-1);
        std::cerr << header << "set clock source fail: code 1." << std::endl;
        return;
    }
    std::cerr << header << "set clock source cmd: " << config << std::endl;
    if (config.get_clkSel0().asInt() == LGCP::ClkSel0::internal)
        Select(freerun);
    else if (config.get_bextEn().asInt() == LGCP::BExtEn::disabled)
        Select(external_bext_disabled);
    else if (config.get_source().getValue() >= 0)
        Select(config.get_source().getValue());
}

void BusCtl::Select(int source) {
    if (!fd_) {
        std::cerr << header << "device open error" << std::endl;
        return;
    }
    Device::ClockRecord record{uint32_t(source)};
    if (Device::ioctl(fd_.lowlevel_fd(), Device::HW_CLOCK_SELECT, record.data()) < 0) {
        std::cerr << header << "HW_CLOCK_SELECT fail." << std::endl;
        return;
    }
    std::cerr << header << "clock source = ";
    // Only sources 0 to 7 have names; a higher one is printed as its number.
    if (source < named_sources)
        std::cerr << source_names[source] << std::endl;
    else
        std::cerr << source << std::endl;
}
