#pragma once
// The requests of /dev/hal for the board's front panel: its power supplies,
// its DIP switch and the E1 framers' LEDs. Used by the monitoring, by the
// simulated board's panel model and by the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// {supplies} (filled): power_main and power_standby bits, set for each
// supply that delivers power.
inline constexpr uint32_t HAL_POWER_STATUS = 0x40045001;
using PowerRecord = Record<4>;
// {switches} (filled): bit n set while DIP switch n + 1 is on.
inline constexpr uint32_t HAL_DIP_SWITCH = 0x40045002;
using DipSwitchRecord = Record<4>;
// {led, on}: lights LED `led` (0 to leds - 1, else EINVAL) when `on` is not
// 0, puts it out when it is.
inline constexpr uint32_t HAL_LED_SET = 0x80085003;
using LedRecord = Record<8>;
namespace Panel {
inline constexpr uint32_t power_main = 0x1;
inline constexpr uint32_t power_standby = 0x2;
inline constexpr uint32_t dip_switches = 8;
// Two LEDs per E1 framer n: 2 × n its line, 2 × n + 1 its link.
inline constexpr uint32_t leds = 8;
inline constexpr size_t led = 0;  // HAL_LED_SET
inline constexpr size_t on = 4;
}  // namespace Panel

}  // namespace Device
