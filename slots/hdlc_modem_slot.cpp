#include "slots/hdlc_modem_slot.h"

#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/netif_driver.h"
#include "runtime/log/ext.h"
#include "slots/modem_factory.h"

namespace {

// The settings buffer of IF_GET_IFACE.
size_t const iface_room = 128;

// SIOCWANDEV of that type with `size` bytes of settings, all zero.
template <size_t Size>
int wandev(std::string const& interface, uint32_t type,
           Device::Record<Device::Netif::wan_settings + Size>& request) {
    request.put32(Device::Netif::wan_type, type);
    request.put32(Device::Netif::wan_size, Size);
    return Device::netif(interface.c_str(), Device::Netif::wandev, request.data(), request.size);
}

}  // namespace

HdlcModemSlot::~HdlcModemSlot() {
    leave();
    Restore();
}

void HdlcModemSlot::unbind() { ModemFactory::instance().ReleaseModemSlot(this); }

void HdlcModemSlot::InitModem() {
    if (pppd_executing()) return;
    Device::Record<Device::Netif::wan_settings + iface_room> iface;
    if (wandev<iface_room>(interface_, Device::Netif::get_iface, iface) < 0) {
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_GET_IFACE fail!" << std::endl;
        return;
    }
    channel_ = int(iface.get32(Device::Netif::wan_settings + Device::Netif::e1_channel));
    Device::Record<Device::Netif::wan_settings + 4> ppp;
    if (wandev<4>(interface_, Device::Netif::proto_ppp, ppp) < 0) {
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_PROTO_PPP fail!" << std::endl;
        return;
    }
    pppd_exec(interface_.c_str(), "/usr/local/etc/ppp/ioptions");
}

void HdlcModemSlot::Restore() {
    Device::Netif::FlagsRecord flags;
    if (Device::netif(interface_.c_str(), Device::Netif::get_flags, flags.data(), flags.size) < 0) {
        std::cerr << ext::header(this) << "SIOCGIFFLAGS fail!!!" << std::endl;
        return;
    }
    flags.put16(0, uint16_t(flags.get16(0) & ~Device::Netif::up));
    if (Device::netif(interface_.c_str(), Device::Netif::set_flags, flags.data(), flags.size) < 0) {
        std::cerr << ext::header(this) << "SIOCSIFFLAGS fail!!!" << std::endl;
        return;
    }
    // Raw HDLC: encoding 0, parity 0.
    Device::Record<Device::Netif::wan_settings + 4> hdlc;
    if (wandev<4>(interface_, Device::Netif::proto_hdlc, hdlc) < 0)
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_PROTO_HDLC fail!" << std::endl;
}
