#pragma once
// The requests of /dev/maintenance: an E1 framer's status and the TCLK mask.
// Used by the E1 service, the simulated board's E1 model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// An 80-byte status record: the trunk in the first word, the driver fills
// the line state and the error counters at their offsets.
inline constexpr uint32_t MAINT_E1_STATUS = 0xC0504D03;
using E1StatusRecord = Record<80>;
namespace E1Status {
inline constexpr size_t trunk = 0;
inline constexpr size_t slips = 36;
inline constexpr size_t loss_bf = 40;
inline constexpr size_t loss_carrier = 44;
inline constexpr size_t loss_ais = 48;
inline constexpr size_t loss_rai = 52;
inline constexpr size_t state = 76;
}  // namespace E1Status

// Value: the TCLK mask.
inline constexpr uint32_t MAINT_SET_TCLK = 0xC0044D0B;

}  // namespace Device
