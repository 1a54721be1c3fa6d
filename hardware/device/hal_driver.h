#pragma once
// The requests of /dev/hal: the TDM switch, the framers on the SPI bus, the
// TDM clock source and the echo buses. Used by the switch, SPI, clock and
// echo services, by the simulated board's models of them and by the tests.

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

}  // namespace Device
