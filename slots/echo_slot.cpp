#include "slots/echo_slot.h"

#include <fcntl.h>

#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/hal_driver.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"

void EchoSlot::IAfterCreate() {
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}

EchoFactory& EchoFactory::instance() {
    static EchoFactory factory;
    return factory;
}

EchoFactory::EchoFactory() { Scan(); }

void EchoFactory::Scan() {
    for (bool& flag : available_) flag = false;
    std::clog << "Scanning echo channels ..." << std::endl;
    Fd const hal(Device::open("/dev/hal", O_RDWR));
    Device::EchoBusesRecord mask;
    if (!hal || Device::ioctl(hal.lowlevel_fd(), Device::HAL_ECHO_BUSES, mask.data()) < 0) {
        Errno const error;
        std::cerr << ext::header(this) << "no echo bus found: " << error << std::endl;
        return;
    }
    for (unsigned bus = 0; bus < buses; ++bus) available_[bus] = mask.get32(0) >> bus & 1;
}

Slot* EchoFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.echo_isSelected()) return nullptr;
    LGCP::EchoParams const& echo = params.get_echo();
    unsigned const bus = unsigned(echo.get_bus().getValue());
    if (!available(bus)) return nullptr;
    unsigned const channel = unsigned(echo.get_channel().getValue());
    if (channel >= channels) {
        std::cerr << ext::header(this) << "channel " << echo.get_channel().getValue()
                  << " is not on echo bus " << bus << std::endl;
        return nullptr;
    }
    return (new EchoSlot(channels * bus + channel))->slot();
}

void EchoFactory::Query(LGCP::Resources& resources) {
    auto& list = resources.set_echoBus();
    list.clear();
    for (unsigned bus = 0; bus < buses; ++bus)
        if (available_[bus]) list.push_back(ASN1::INTEGER(int(bus), &ASN1::INTEGER::theInfo));
}
