#include "hardware/mcc_channel.h"

#include <cerrno>
#include <utility>

#include "hardware/device/device.h"
#include "hardware/device/mcc_driver.h"

namespace Mcc {

Channel Open(int flags, ChannelRecord const& record) {
    Channel channel;
    int const fd = Device::open(device, flags);
    if (fd < 0) {
        channel.failed = Channel::open;
        channel.error = errno;
        return channel;
    }
    Fd owned(fd);
    if (Allocate(fd, record) < 0) {
        channel.failed = Channel::allocate;
    } else if ((channel.timeslot = Timeslot(fd)) < 0) {
        channel.failed = Channel::ask_timeslot;
    } else {
        channel.fd = std::move(owned);
        return channel;
    }
    // The descriptor closes on the way out.
    channel.error = errno;
    return channel;
}

char const* FailureText(Channel::Step step) {
    static char const* const texts[] = {"", "fail to open MCC device: ", "MCC_ALLOCATE fail: ",
                                        "MCC_TIMESLOT fail: "};
    return texts[step];
}

long ReadOnce(int fd, void* buffer, size_t size) { return long(Device::read(fd, buffer, size)); }

int Allocate(int fd, ChannelRecord const& r) {
    Device::MccChannelRecord record{r.mode, r.rx_packet_size, r.reserved, r.rx_threshold,
                                    r.tx_threshold};
    return Device::ioctl(fd, Device::MCC_ALLOCATE, record.data()) < 0 ? -1 : 0;
}

int Timeslot(int fd) { return Device::ioctlValue(fd, Device::MCC_TIMESLOT, 0); }

bool Resources(int fd, Counts& counts) {
    Device::MccResourcesRecord record;
    if (Device::ioctl(fd, Device::MCC_RESOURCES, record.data()) < 0) return false;
    counts.data = record.get32(Device::MccResources::data);
    counts.bri = record.get32(Device::MccResources::bri);
    counts.transparent = record.get32(Device::MccResources::transparent);
    return true;
}

}  // namespace Mcc
