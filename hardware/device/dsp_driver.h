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
namespace DsprocEnable {
inline constexpr size_t timeslot = 0;
inline constexpr size_t id = 4;
inline constexpr size_t type = 8;
}  // namespace DsprocEnable
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

// A configuration: {timeslot, type, settings of the type}.
namespace DsprocConfigure {
inline constexpr size_t timeslot = 0;
inline constexpr size_t type = 4;
inline constexpr size_t settings = Dsproc::settings;
// VAD of interface version 2: u16 voice and silence thresholds in ms, then
// the energy threshold in dB, one signed byte.
inline constexpr size_t vad_voice_ms = 8;
inline constexpr size_t vad_silence_ms = 10;
inline constexpr size_t vad_energy_dB = 12;
// VAD of the other versions: three words from `settings`.
inline constexpr size_t vad_words = 3;
// Delays: {rx, tx, selcal}, words.
inline constexpr size_t delay_rx = 8;
inline constexpr size_t delay_tx = 12;
inline constexpr size_t delay_selcal = 16;
// Receive gain in dB, one signed byte.
inline constexpr size_t gain_dB = 8;
// A tone filter: u16 frequency, u8 enable, u16 duration in ms, then the
// level in dB, one signed byte.
inline constexpr size_t filter_frequency = 8;
inline constexpr size_t filter_enable = 10;
inline constexpr size_t filter_duration_ms = 12;
inline constexpr size_t filter_level_dB = 14;
}  // namespace DsprocConfigure

// An event: {timeslot, id, type, payload of three words}.
using DsprocEventRecord = Record<24>;
namespace DsprocEvent {
inline constexpr size_t timeslot = 0;
inline constexpr size_t id = 4;
inline constexpr size_t type = 8;
inline constexpr size_t payload = 12;
// The payload by type: VAD {direction mask (bit 0 rx, bit 1 tx), rx, tx};
// SD {rx}; BSS {score, an IEEE single}; flags {flags, mask}; tone filter
// {frequency, presence}.
inline constexpr size_t vad_mask = 12;
inline constexpr size_t vad_rx = 16;
inline constexpr size_t vad_tx = 20;
inline constexpr size_t sd_rx = 12;
inline constexpr size_t bss_score = 12;
inline constexpr size_t flags = 12;
inline constexpr size_t flags_mask = 16;
inline constexpr size_t tone_frequency = 12;
inline constexpr size_t tone_presence = 16;
}  // namespace DsprocEvent

}  // namespace Device
