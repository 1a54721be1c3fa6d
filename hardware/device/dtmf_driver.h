#pragma once
// The requests and the event record of /dev/dtmf, the tone DSP: DTMF and
// IVA detectors, the echo canceller, DTMF rejection and the tone generator,
// per timeslot. Used by the tone receiver service, the simulated board's
// tone model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// {timeslot, twist, ratio, silence, noise}.
inline constexpr uint32_t DTMF_CONFIGURE_DETECTOR = 0x40144202;
using DtmfConfigureRecord = Record<20>;
namespace DtmfConfigure {
inline constexpr size_t timeslot = 0;
inline constexpr size_t twist = 4;
inline constexpr size_t ratio = 8;
inline constexpr size_t silence = 12;
inline constexpr size_t noise = 16;
}  // namespace DtmfConfigure
// {timeslot, id}: the id the detector's events carry.
inline constexpr uint32_t DTMF_ENABLE_DETECTOR = 0x40084203;
using DtmfEnableRecord = Record<8>;
namespace DtmfEnable {
inline constexpr size_t timeslot = 0;
inline constexpr size_t id = 4;
}  // namespace DtmfEnable
// {timeslot, f1, f2, a1, a2} with 16-bit frequencies and amplitudes.
inline constexpr uint32_t DTMF_DIAL = 0x400C4205;
using DtmfDialRecord = Record<12>;
namespace DtmfDial {
inline constexpr size_t timeslot = 0;
inline constexpr size_t tones = 4;  // f1 f2 a1 a2, 16 bits each
inline constexpr size_t f1 = 4;
inline constexpr size_t f2 = 6;
inline constexpr size_t a1 = 8;
inline constexpr size_t a2 = 10;
inline constexpr size_t tone_count = 4;
}  // namespace DtmfDial
// {timeslot, level}.
inline constexpr uint32_t IVA_CONFIGURE_DETECTOR = 0x4008420D;
using IvaConfigureRecord = Record<8>;
namespace IvaConfigure {
inline constexpr size_t timeslot = 0;
inline constexpr size_t level = 4;  // i32
}  // namespace IvaConfigure
// {timeslot, 16-bit amplitude, four sign bytes}.
inline constexpr uint32_t SELCAL_DIAL = 0x400C420E;
using SelcalDialRecord = Record<12>;
namespace SelcalDial {
inline constexpr size_t timeslot = 0;
inline constexpr size_t amplitude = 4;
inline constexpr size_t signs = 6;
inline constexpr size_t sign_count = 4;
}  // namespace SelcalDial

// Value: the timeslot.
inline constexpr uint32_t DTMF_DISABLE_DETECTOR = 0x40044204;
inline constexpr uint32_t CHANNEL_LMS_ON = 0x40044206;
inline constexpr uint32_t CHANNEL_LMS_OFF = 0x40044207;
inline constexpr uint32_t DTMF_REJECTION_ENABLE = 0x40044209;
inline constexpr uint32_t DTMF_REJECTION_DISABLE = 0x4004420A;
inline constexpr uint32_t IVA_DETECTOR_ENABLE = 0x4004420B;
inline constexpr uint32_t IVA_DETECTOR_DISABLE = 0x4004420C;

// A detected digit or tone: {code, timeslot, timestamp, id}.
using DtmfEventRecord = Record<16>;
namespace DtmfEvent {
inline constexpr size_t code = 0;
inline constexpr size_t timeslot = 4;
inline constexpr size_t timestamp = 8;
inline constexpr size_t id = 12;
}  // namespace DtmfEvent

}  // namespace Device
