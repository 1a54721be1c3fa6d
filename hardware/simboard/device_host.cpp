// The device layer of a host build: every call is served by the simulated
// board.

#include "hardware/device/device.h"
#include "hardware/simboard/board.h"

namespace Device {

int open(char const* path, int flags) { return SimBoard::Board::instance().open(path, flags); }

int ioctl(int fd, uint32_t request, void* record) {
    return SimBoard::Board::instance().ioctl(fd, request, record);
}

int ioctlValue(int fd, uint32_t request, unsigned long value) {
    return SimBoard::Board::instance().ioctlValue(fd, request, value);
}

ssize_t read(int fd, void* buffer, size_t size) {
    return SimBoard::Board::instance().read(fd, buffer, size);
}

ssize_t write(int fd, void const* data, size_t size) {
    return SimBoard::Board::instance().write(fd, data, size);
}

int netif(char const* name, uint32_t request, void* data, size_t size) {
    return SimBoard::Board::instance().netif(name, request, data, size);
}

}  // namespace Device
