#pragma once
// The DSP data driver, /dev/dsp-data: the DSP's ATS-QSIG links. An open of
// the device attaches to one link with DSP_DATA_ATTACH; from then on the
// descriptor carries the link's D channel, one LAPD frame (without flags and
// frame check sequence) per read or write, and the link's line and its three
// B channels are switch channels of the TDM switch. The link is given back
// at the descriptor's last close. The ATS-QSIG slots, the simulated board's
// model and the tests use these numbers and this record.

#include <cstddef>
#include <cstdint>

#include "hardware/device/device.h"
#include "hardware/device/record.h"

namespace DspData {

inline constexpr char device[] = "/dev/dsp-data";

// _IOR('Q', 0, 16): attaches the descriptor to a free link and fills the
// link record. ENOSPC when no link is free, EBUSY when the descriptor has one.
inline constexpr uint32_t DSP_DATA_ATTACH = 0x40105100;

// The link record, four 32-bit words: the switch channel of the link's line,
// then those of B channels 1, 2 and 3.
inline constexpr size_t link_record_size = 16;
inline constexpr int b_channels = 3;

struct Link {
    int line = -1;
    int b[b_channels] = {-1, -1, -1};
};

// Attaches the descriptor; 0, or -1 with errno.
inline int Attach(int fd, Link& link) {
    Device::Record<link_record_size> record;
    if (Device::ioctl(fd, DSP_DATA_ATTACH, record.data()) < 0) return -1;
    link.line = int(record.get32(0));
    for (int b = 0; b < b_channels; ++b) link.b[b] = int(record.get32(4 + 4 * size_t(b)));
    return 0;
}

}  // namespace DspData
