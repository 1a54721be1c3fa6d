#pragma once
// The network-interface requests (Device::netif) on the generic-HDLC
// interfaces of the digital modems, with their data in the board's order.
// Used by the modem factory and slots, the simulated board's interface model
// and the tests. The numbers are the kernel's socket requests; they carry
// names of their own here because the system headers define the kernel's
// names as macros.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device::Netif {

enum Request : uint32_t {
    get_flags = 0x8913,  // SIOCGIFFLAGS: FlagsRecord (filled)
    set_flags = 0x8914,  // SIOCSIFFLAGS: FlagsRecord
    get_index = 0x8933,  // SIOCGIFINDEX: IndexRecord (filled)
    wandev = 0x894A,     // SIOCWANDEV: {type, size, size bytes of settings}
};
using FlagsRecord = Record<2>;
using IndexRecord = Record<4>;

// Interface flags.
inline constexpr uint16_t up = 0x1;
inline constexpr uint16_t loopback = 0x8;
inline constexpr uint16_t point_to_point = 0x10;
inline constexpr uint16_t running = 0x40;
inline constexpr uint16_t no_arp = 0x80;

// SIOCWANDEV types, and where its settings start.
enum WanType : uint32_t {
    get_iface = 1,  // IF_GET_IFACE: answered with the interface type and its settings
    iface_e1 = 0x1004,
    proto_hdlc = 0x2000,
    proto_ppp = 0x2001,
};
inline constexpr size_t wan_type = 0;
inline constexpr size_t wan_size = 4;
inline constexpr size_t wan_settings = 8;
// The E1 settings: four words, the HDLC controller's switch channel last.
inline constexpr size_t e1_settings_size = 16;
inline constexpr size_t e1_channel = 12;

}  // namespace Device::Netif
