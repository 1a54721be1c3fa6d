#pragma once
// The requests of /dev/hal: the TDM switch, the framers on the SPI bus, the
// TDM clock source, the echo buses and the front panel (power supplies, DIP
// switch, the E1 framers' LEDs). Used by the switch, SPI, clock and echo
// services and the monitoring, by the simulated board's models of them and
// by the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// The switch, records of 32-bit words: {output} to disable it,
// {output, source} to connect it, {output, byte} to send a constant byte,
// {output, byte (filled)} to read the byte on it.
inline constexpr uint32_t HAL_MUX_CONNECT = 0x80084D02;
inline constexpr uint32_t HAL_MUX_DISABLE = 0x80044D03;
inline constexpr uint32_t HAL_MUX_WRITE = 0xC0084D04;
inline constexpr uint32_t HAL_MUX_READ = 0xC0084D05;
using MuxRecord = Record<8>;
using MuxDisableRecord = Record<4>;
namespace Mux {
inline constexpr size_t output = 0;
inline constexpr size_t source = 4;  // HAL_MUX_CONNECT
inline constexpr size_t byte = 4;    // HAL_MUX_WRITE, HAL_MUX_READ
}  // namespace Mux

// A framer register, three bytes {framer, register, value}; a read's result
// is the register's value.
inline constexpr uint32_t HAL_SPI_READ = 0xC0034203;
inline constexpr uint32_t HAL_SPI_WRITE = 0xC0034204;
using SpiRecord = Record<3>;
namespace Spi {
inline constexpr size_t framer = 0;
inline constexpr size_t reg = 1;
inline constexpr size_t value = 2;
}  // namespace Spi

// {source}: the TDM clock source.
inline constexpr uint32_t HW_CLOCK_SELECT = 0x80044301;
using ClockRecord = Record<4>;

// {mask} (filled): bit n set for each available echo bus n.
inline constexpr uint32_t HAL_ECHO_BUSES = 0x40044501;
using EchoBusesRecord = Record<4>;

// The front panel.
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
