#pragma once
// Request numbers and record layouts of /dev/hal, the board's hardware
// abstraction driver, used by the services that call it, the simulated
// board's models and the tests alike. Records are big-endian (record.h).

#include <cstdint>

namespace Hal {

// The board's front panel: its power supplies, its DIP switch and its LEDs
// (type 'P'), which the monitoring reads and sets.
enum : uint32_t {
    // Read, 4 bytes: the power supplies that deliver power, power_main and
    // power_standby bits.
    HAL_POWER_STATUS = 0x40045001,
    // Read, 4 bytes: the DIP switch, bit n set while switch n + 1 is on.
    HAL_DIP_SWITCH = 0x40045002,
    // Write, 8 bytes: an LED number (0 to leds - 1), then 1 to light it or 0
    // to put it out; a number beyond the LEDs is EINVAL.
    HAL_LED_SET = 0x80085003,
};

inline constexpr uint32_t power_main = 0x1;
inline constexpr uint32_t power_standby = 0x2;
inline constexpr uint32_t dip_switches = 8;
// Two LEDs per E1 framer: 2 × framer its line, 2 × framer + 1 its link.
inline constexpr uint32_t leds = 8;

}  // namespace Hal
