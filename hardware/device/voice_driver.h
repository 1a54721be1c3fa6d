#pragma once
// The requests of /dev/voice: the channel counts per codec and the driver's
// version. Used by the RTP and mixer factories, the simulated board's voice
// models and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// Value: a codec selector; the result is how many channels of it the board
// has.
inline constexpr uint32_t VOICE_COUNT = 0x40045602;
// Five words (filled): the driver's version.
inline constexpr uint32_t VOICE_VERSION = 0x4014560A;
using VoiceVersionRecord = Record<20>;
inline constexpr size_t voice_version_words = 5;

}  // namespace Device
