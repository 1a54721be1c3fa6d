#pragma once
// The requests of /dev/mixer, the conference mixer. Used by the mixer
// factory and units, the simulated board's mixer model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// A mixer channel: {unit, type (0), channel}.
using MixChannelRecord = Record<12>;
namespace MixChannel {
inline constexpr size_t unit = 0;
inline constexpr size_t type = 4;
inline constexpr size_t channel = 8;
}  // namespace MixChannel

// A channel record: its sum is emptied.
inline constexpr uint32_t MIX_RX_CLEAR = 0x800C4D02;
// {channel record of the sum, channel record of the contributor, gain}.
inline constexpr uint32_t MIX_RX_ADD = 0x801C4D03;
inline constexpr uint32_t MIX_RX_REMOVE = 0x801C4D04;
using MixRxRecord = Record<28>;
namespace MixRx {
inline constexpr size_t rx = 0;
inline constexpr size_t tx = 12;
inline constexpr size_t gain = 24;
}  // namespace MixRx
// A channel record whose third word the driver answers with the channel's
// TDM timeslot.
inline constexpr uint32_t MIX_TDM = 0x800C4D06;
// {unit after which to look (-1 first), ...} filled with {unit, channels, 0,
// mixer inputs} of the next unit.
inline constexpr uint32_t MIX_RESOURCES = 0x80104D07;
using MixResourcesRecord = Record<16>;
namespace MixResources {
inline constexpr size_t unit = 0;
inline constexpr size_t channels = 4;
inline constexpr size_t reserved = 8;  // 0
inline constexpr size_t inputs = 12;
}  // namespace MixResources

}  // namespace Device
