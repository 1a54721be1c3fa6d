#include "runtime/system/inet.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/system/fd.h"

namespace INet4 {

static_assert(sizeof(Addr) == 16, "INet4::Addr is laid out as a sockaddr_in");

void Addr::Reset() {
    std::memset(&sa_, 0, sizeof(sa_));
    sa_.sin_family = AF_INET;
}

namespace {

// The port text after ":" as atoi reads it (leading digits, 0 for none),
// but refused when it falls outside 0..65535 instead of wrapping.
bool parse_port(char const* text, int* port) {
    char* end = nullptr;
    errno = 0;
    long const n = std::strtol(text, &end, 10);
    if (end == text) {
        *port = 0;
        return true;
    }
    if (errno == ERANGE || n < 0 || n > 65535) return false;
    *port = int(n);
    return true;
}

}  // namespace

bool Addr::Assign(char const* text, int* port_out) {
    char const* colon = std::strchr(text, ':');
    if (colon == nullptr) {
        if (port_out) *port_out = -1;
        return inet_aton(text, &sa_.sin_addr) != 0;
    }
    int port = 0;
    if (!parse_port(colon + 1, &port)) {
        if (port_out) *port_out = -1;
        return false;
    }
    sa_.sin_port = htons(uint16_t(port));
    if (port_out) *port_out = port;
    std::string const address(text, colon);
    return inet_aton(address.c_str(), &sa_.sin_addr) != 0;
}

char const* Addr::GetStrAddr() const {
    return inet_ntoa(sa_.sin_addr);
}

std::string Addr::GetString() const {
    char port[16];
    std::snprintf(port, sizeof(port), ":%d", int(this->port()));
    return std::string(GetStrAddr()) + port;
}

std::vector<unsigned char> Addr::GetVector() const {
    auto const* bytes = reinterpret_cast<unsigned char const*>(&sa_.sin_addr.s_addr);
    return std::vector<unsigned char>(bytes, bytes + 4);
}

void Addr::Put(std::ostream& os) const {
    os << GetStrAddr() << ':' << int(port());
}

std::ostream& operator<<(std::ostream& os, Addr const& a) {
    a.Put(os);
    return os;
}

}  // namespace INet4

namespace Net {

bool ifconfig_selects(char const* name, uint32_t a, ifconfig_mode_t mode) {
    if (mode == if_all) return true;
    if ((mode & if_not_loopback) && strcasecmp(name, "lo") != 0) return true;
    if ((mode & if_link_local) && (a & 0xFFFF0000u) == 0xA9FE0000u) return true;
    if (mode & if_private) {
        if ((a & 0xFFFF0000u) == 0xC0A80000u) return true;  // 192.168.0.0/16
        if ((a & 0xFFF00000u) == 0xAC100000u) return true;  // 172.16.0.0/12
        if ((a & 0xFF000000u) == 0x0A000000u) return true;  // 10.0.0.0/8
    }
    return false;
}

std::string hostname() {
    char name[512];
    if (gethostname(name, sizeof(name)) != 0) return std::string();
    name[sizeof(name) - 1] = '\0';
    return name;
}

int hostname(std::string const& name) {
    return sethostname(name.data(), name.size());
}

namespace {

// The host's interface records (struct ifreq, whose size the host defines);
// the buffer grows until the kernel leaves room to spare, so that no
// interface is cut off.
bool interface_records(int sock, std::vector<ifreq>& records) {
    for (size_t n = 16; n <= 4096; n *= 2) {
        records.assign(n, ifreq());
        ifconf conf;
        std::memset(&conf, 0, sizeof(conf));
        conf.ifc_len = int(n * sizeof(ifreq));
        conf.ifc_req = records.data();
        if (ioctl(sock, SIOCGIFCONF, &conf) < 0) return false;
        if (size_t(conf.ifc_len) < n * sizeof(ifreq)) {
            records.resize(size_t(conf.ifc_len) / sizeof(ifreq));
            return true;
        }
    }
    return true;
}

// Calls take(socket, record) for every selected interface whose address can
// be read; returns how many take() accepted, or -1.
template <class Take>
int for_each_selected(ifconfig_mode_t mode, Take take) {
    Fd sock(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.is_valid()) return -1;
    std::vector<ifreq> records;
    if (!interface_records(sock.lowlevel_fd(), records)) return -1;
    int taken = 0;
    for (ifreq const& record : records) {
        if (record.ifr_addr.sa_family != AF_INET) continue;
        sockaddr_in address;
        std::memcpy(&address, &record.ifr_addr, sizeof(address));
        char name[IFNAMSIZ + 1] = {};
        std::memcpy(name, record.ifr_name, IFNAMSIZ);
        if (!ifconfig_selects(name, ntohl(address.sin_addr.s_addr), mode)) continue;
        ifreq query = record;
        if (ioctl(sock.lowlevel_fd(), SIOCGIFADDR, &query) < 0) continue;
        if (take(sock.lowlevel_fd(), query)) ++taken;
    }
    return taken;
}

}  // namespace

int ifconfig(std::list<INet4::Addr>& out, ifconfig_mode_t mode) {
    return for_each_selected(mode, [&out](int, ifreq const& query) {
        sockaddr_in address;
        std::memcpy(&address, &query.ifr_addr, sizeof(address));
        out.push_back(INet4::Addr(address));
        return true;
    });
}

int ifconfig(std::list<std::string>& out, ifconfig_mode_t mode, unsigned int flags) {
    return for_each_selected(mode, [&out, flags](int sock, ifreq const& query) {
        ifreq flag_query = query;
        if (ioctl(sock, SIOCGIFFLAGS, &flag_query) < 0) return false;
        if ((unsigned(uint16_t(flag_query.ifr_flags)) & flags) != flags) return false;
        char name[IFNAMSIZ + 1] = {};
        std::memcpy(name, query.ifr_name, IFNAMSIZ);
        out.push_back(name);
        return true;
    });
}

}  // namespace Net
