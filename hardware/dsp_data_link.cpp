#include "hardware/dsp_data_link.h"

#include "hardware/device/device.h"

namespace DspData {

int Attach(int fd, Link& link) {
    Device::DspDataLinkRecord record;
    if (Device::ioctl(fd, Device::DSP_DATA_ATTACH, record.data()) < 0) return -1;
    link.line = int(record.get32(Device::DspDataLink::line));
    for (int n = 0; n < b_channels; ++n)
        link.b[n] = int(record.get32(Device::DspDataLink::b + 4 * size_t(n)));
    return 0;
}

}  // namespace DspData
