// The device layer of a board build: every call goes to the kernel. Request
// records are already in the processor's own (big-endian) order, so they pass
// through unchanged; only the network-interface requests are put into the
// kernel's interface request form.

#include <fcntl.h>
#include <linux/if.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hardware/device/device.h"
#include "hardware/device/record.h"
#include "runtime/system/fd.h"

namespace Device {

int open(char const* path, int flags) { return ::open(path, flags); }

int ioctl(int fd, uint32_t request, void* record) { return ::ioctl(fd, request, record); }

int ioctlValue(int fd, uint32_t request, unsigned long value) {
    return ::ioctl(fd, request, value);
}

ssize_t read(int fd, void* buffer, size_t size) { return ::read(fd, buffer, size); }

ssize_t write(int fd, void const* data, size_t size) { return ::write(fd, data, size); }

int netif(char const* name, uint32_t request, void* data, size_t size) {
    Fd const sock(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!sock) return -1;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, name, IFNAMSIZ - 1);
    auto* bytes = static_cast<uint8_t*>(data);
    switch (request) {
        case SIOCGIFINDEX:
            if (size < 4) break;
            if (::ioctl(sock.lowlevel_fd(), request, &ifr) < 0) return -1;
            put32(bytes, uint32_t(ifr.ifr_ifindex));
            return 0;
        case SIOCGIFFLAGS:
            if (size < 2) break;
            if (::ioctl(sock.lowlevel_fd(), request, &ifr) < 0) return -1;
            put16(bytes, uint16_t(ifr.ifr_flags));
            return 0;
        case SIOCSIFFLAGS:
            if (size < 2) break;
            ifr.ifr_flags = short(get16(bytes));
            return ::ioctl(sock.lowlevel_fd(), request, &ifr);
        case SIOCWANDEV: {
            if (size < 8 || get32(bytes + 4) > size - 8) break;
            ifr.ifr_settings.type = get32(bytes);
            ifr.ifr_settings.size = get32(bytes + 4);
            ifr.ifr_settings.ifs_ifsu.raw_hdlc = reinterpret_cast<raw_hdlc_proto*>(bytes + 8);
            if (::ioctl(sock.lowlevel_fd(), request, &ifr) < 0) return -1;
            put32(bytes, ifr.ifr_settings.type);
            put32(bytes + 4, ifr.ifr_settings.size);
            return 0;
        }
        default:
            errno = ENOTTY;
            return -1;
    }
    errno = EINVAL;
    return -1;
}

}  // namespace Device
