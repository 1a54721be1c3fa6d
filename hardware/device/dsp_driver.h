#pragma once
// The requests and the event record of /dev/dsp, the voice DSP's processing
// per timeslot (VAD, SD, BSS, noise gate, muting, delays, gain, tone
// filters). Used by the DSP receiver service, the simulated board's DSP
// model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// {timeslot, type, settings of the type from byte 8}.
inline constexpr uint32_t DSPROC_CONFIGURE = 0x40146401;
using DsprocConfigureRecord = Record<20>;
// {timeslot, id, type}: the id the feature's events carry.
inline constexpr uint32_t DSPROC_ENABLE = 0x400C6402;
inline constexpr uint32_t DSPROC_DISABLE = 0x400C6403;
using DsprocEnableRecord = Record<12>;
// Value 0: the result is the driver's interface version.
inline constexpr uint32_t DSPROC_VERSION = 0x40046404;

namespace Dsproc {
// The type of a configuration, an enabling and an event.
enum Type : uint32_t {
    vad = 1,
    sd = 2,
    mute_rx = 4,
    mute_tx = 8,
    bss = 16,
    delays = 32,
    rx_gain = 64,
    ng = 128,
    tone_filter = 256,
    flags = 512,
};
// Where a configuration's settings start.
inline constexpr size_t settings = 8;
}  // namespace Dsproc

// An event: {timeslot, id, type, payload of three words}.
using DsprocEventRecord = Record<24>;
namespace DsprocEvent {
inline constexpr size_t timeslot = 0;
inline constexpr size_t id = 4;
inline constexpr size_t type = 8;
inline constexpr size_t payload = 12;
}  // namespace DsprocEvent

}  // namespace Device
