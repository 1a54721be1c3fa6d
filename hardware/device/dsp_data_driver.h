#pragma once
// The requests of /dev/dsp-data, the DSP's ATS-QSIG links. An open attached
// to a link with DSP_DATA_ATTACH carries the link's D channel: one LAPD
// frame (without flags and frame check sequence) per read or write; the
// link's line and its three B channels are switch channels of the TDM
// switch. The link is given back at the descriptor's last close. Used by the
// ATS-QSIG slots, the simulated board's DSP data model and the tests.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

inline constexpr char dsp_data_device[] = "/dev/dsp-data";

// _IOR('Q', 0, 16), {line, B1, B2, B3} (filled): the open is attached to a
// free link. ENOSPC when no link is free, EBUSY when the open has one.
inline constexpr uint32_t DSP_DATA_ATTACH = 0x40105100;
using DspDataLinkRecord = Record<16>;
namespace DspDataLink {
inline constexpr size_t line = 0;
// B channel n (0 to 2) at b + 4n.
inline constexpr size_t b = 4;
inline constexpr int b_channels = 3;
}  // namespace DspDataLink

}  // namespace Device
