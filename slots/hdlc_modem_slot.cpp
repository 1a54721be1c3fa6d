#include "slots/hdlc_modem_slot.h"

#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/record.h"
#include "runtime/log/ext.h"
#include "slots/modem_factory.h"

namespace {

uint32_t const SIOCGIFFLAGS = 0x8913;
uint32_t const SIOCSIFFLAGS = 0x8914;
uint32_t const SIOCWANDEV = 0x894A;

uint32_t const IF_GET_IFACE = 1;
uint32_t const IF_PROTO_HDLC = 0x2000;
uint32_t const IF_PROTO_PPP = 0x2001;

uint16_t const IFF_UP = 0x1;

// The settings buffer of IF_GET_IFACE; the channel is its fourth word.
size_t const iface_room = 128;
size_t const channel_word = 12;

// SIOCWANDEV of that type with `size` bytes of settings, all zero.
template <size_t Size>
int wandev(std::string const& interface, uint32_t type, Device::Record<8 + Size>& request) {
    request.put32(0, type);
    request.put32(4, Size);
    return Device::netif(interface.c_str(), SIOCWANDEV, request.data(), request.size);
}

}  // namespace

HdlcModemSlot::~HdlcModemSlot() {
    leave();
    Restore();
}

void HdlcModemSlot::unbind() { ModemFactory::instance().ReleaseModemSlot(this); }

void HdlcModemSlot::InitModem() {
    if (pppd_executing()) return;
    Device::Record<8 + iface_room> iface;
    if (wandev<iface_room>(interface_, IF_GET_IFACE, iface) < 0) {
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_GET_IFACE fail!" << std::endl;
        return;
    }
    channel_ = int(iface.get32(8 + channel_word));
    Device::Record<8 + 4> ppp;
    if (wandev<4>(interface_, IF_PROTO_PPP, ppp) < 0) {
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_PROTO_PPP fail!" << std::endl;
        return;
    }
    pppd_exec(interface_.c_str(), "/usr/local/etc/ppp/ioptions");
}

void HdlcModemSlot::Restore() {
    Device::Record<2> flags;
    if (Device::netif(interface_.c_str(), SIOCGIFFLAGS, flags.data(), flags.size) < 0) {
        std::cerr << ext::header(this) << "SIOCGIFFLAGS fail!!!" << std::endl;
        return;
    }
    flags.put16(0, uint16_t(flags.get16(0) & ~IFF_UP));
    if (Device::netif(interface_.c_str(), SIOCSIFFLAGS, flags.data(), flags.size) < 0) {
        std::cerr << ext::header(this) << "SIOCSIFFLAGS fail!!!" << std::endl;
        return;
    }
    // Raw HDLC: encoding 0, parity 0.
    Device::Record<8 + 4> hdlc;
    if (wandev<4>(interface_, IF_PROTO_HDLC, hdlc) < 0)
        std::cerr << ext::header(this) << "SIOCWANDEV/IF_PROTO_HDLC fail!" << std::endl;
}
