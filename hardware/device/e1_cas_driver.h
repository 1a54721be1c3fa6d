#pragma once
// The requests and the event record of /dev/e1-cas, channel-associated
// signalling per E1 trunk and timeslot. Used by the E1 service, the
// simulated board's CAS model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// Value: the trunk.
inline constexpr uint32_t CAS_OPEN = 0x80044300;
inline constexpr uint32_t CAS_CLOSE = 0x80044301;
// A channel record {trunk, timeslot, rx byte, tx byte}; CAS_GET fills the
// bits, and it is also the event record each change of received bits sends.
inline constexpr uint32_t CAS_GET = 0xC00C4303;
using CasChannelRecord = Record<12>;
namespace CasChannel {
inline constexpr size_t trunk = 0;
inline constexpr size_t timeslot = 4;
inline constexpr size_t rx = 8;
inline constexpr size_t tx = 9;
}  // namespace CasChannel
// {trunk, timeslot, tx byte (at 9), release}: takes a channel sending those
// bits, or gives it back when release is 1.
inline constexpr uint32_t CAS_CONFIGURE = 0xC0104304;
using CasConfigureRecord = Record<16>;
namespace CasConfigure {
inline constexpr size_t trunk = 0;
inline constexpr size_t timeslot = 4;
inline constexpr size_t tx = 9;
inline constexpr size_t release = 12;
}  // namespace CasConfigure

}  // namespace Device
