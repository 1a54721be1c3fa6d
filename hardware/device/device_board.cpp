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
#include "hardware/device/netif_driver.h"
#include "runtime/system/fd.h"

namespace Device {

// The board's interface requests are the kernel's.
static_assert(Netif::get_flags == SIOCGIFFLAGS && Netif::set_flags == SIOCSIFFLAGS &&
              Netif::get_index == SIOCGIFINDEX && Netif::wandev == SIOCWANDEV);
static_assert(Netif::get_iface == IF_GET_IFACE && Netif::iface_e1 == IF_IFACE_E1 &&
              Netif::proto_hdlc == IF_PROTO_HDLC && Netif::proto_ppp == IF_PROTO_PPP);
static_assert(Netif::up == IFF_UP && Netif::loopback == IFF_LOOPBACK &&
              Netif::point_to_point == IFF_POINTOPOINT && Netif::no_arp == IFF_NOARP);

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
        case Netif::get_index:
            if (size < Netif::IndexRecord::size) break;
            if (::ioctl(sock.lowlevel_fd(), request, &ifr) < 0) return -1;
            put32(bytes, uint32_t(ifr.ifr_ifindex));
            return 0;
        case Netif::get_flags:
            if (size < Netif::FlagsRecord::size) break;
            if (::ioctl(sock.lowlevel_fd(), request, &ifr) < 0) return -1;
            put16(bytes, uint16_t(ifr.ifr_flags));
            return 0;
        case Netif::set_flags:
            if (size < Netif::FlagsRecord::size) break;
            ifr.ifr_flags = short(get16(bytes));
            return ::ioctl(sock.lowlevel_fd(), request, &ifr);
        case Netif::wandev: {
            if (size < Netif::wan_settings ||
                get32(bytes + Netif::wan_size) > size - Netif::wan_settings)
                break;
            ifr.ifr_settings.type = get32(bytes + Netif::wan_type);
            ifr.ifr_settings.size = get32(bytes + Netif::wan_size);
            ifr.ifr_settings.ifs_ifsu.raw_hdlc =
                reinterpret_cast<raw_hdlc_proto*>(bytes + Netif::wan_settings);
            if (::ioctl(sock.lowlevel_fd(), request, &ifr) < 0) return -1;
            put32(bytes + Netif::wan_type, ifr.ifr_settings.type);
            put32(bytes + Netif::wan_size, ifr.ifr_settings.size);
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
