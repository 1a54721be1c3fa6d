#pragma once
// An ATS-QSIG link of the DSP (/dev/dsp-data) as the ATS-QSIG slots see it:
// the switch channels of its line and of its three B channels, and the
// request that attaches an open descriptor to a free link.

#include "hardware/device/dsp_data_driver.h"

namespace DspData {

inline constexpr int b_channels = Device::DspDataLink::b_channels;

struct Link {
    int line = -1;
    int b[b_channels] = {-1, -1, -1};
};

// Attaches the descriptor to a free link; 0, or -1 with errno.
int Attach(int fd, Link& link);

}  // namespace DspData
