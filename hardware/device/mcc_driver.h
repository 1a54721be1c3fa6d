#pragma once
// The requests of /dev/mcc/ctl, the multi-channel controller. Used by the
// MCC channel service, the simulated board's MCC model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// {mode, receive packet size, reserved, receive threshold, transmit
// threshold}: the open becomes a channel of that mode.
inline constexpr uint32_t MCC_ALLOCATE = 0x40144D00;
using MccChannelRecord = Record<20>;
namespace MccChannel {
inline constexpr size_t mode = 0;
inline constexpr size_t rx_packet_size = 4;
inline constexpr size_t reserved = 8;
inline constexpr size_t rx_threshold = 12;
inline constexpr size_t tx_threshold = 16;
inline constexpr size_t words = 5;
// The mode word: the kind of channel. An SS7 channel is a data channel
// whose controller keeps the signal units as they come.
enum Mode : uint32_t { data = 0, bri = 1, transparent = 2, ss7 = 3 };
}  // namespace MccChannel
// Value 0: the open's switch channel.
inline constexpr uint32_t MCC_TIMESLOT = 0x20004D02;
// {data, BRI, transparent, 0} (filled): the free channels of each kind.
inline constexpr uint32_t MCC_RESOURCES = 0x80104D03;
using MccResourcesRecord = Record<16>;
namespace MccResources {
inline constexpr size_t data = 0;
inline constexpr size_t bri = 4;
inline constexpr size_t transparent = 8;
inline constexpr size_t reserved = 12;  // 0
}  // namespace MccResources

}  // namespace Device
