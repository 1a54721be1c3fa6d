#include "tests/support/private_network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace support {

namespace {

bool writeFile(std::string const& path, std::string const& text) {
    int const fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool const done = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return done;
}

bool loopbackUp() {
    int const sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(sock, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = short(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(sock, SIOCSIFFLAGS, &request) == 0;
    ::close(sock);
    return up;
}

// Whether the port of 127.0.0.1 is free: a listener could bind it now.
bool portFree(int port) {
    int const sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int const on = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool const free =
        sock >= 0 && ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (sock >= 0) ::close(sock);
    return free;
}

}  // namespace

bool privateNetwork() {
    if (::unshare(CLONE_NEWNET) == 0) return loopbackUp();
    uid_t const uid = ::getuid();
    gid_t const gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
    writeFile("/proc/self/setgroups", "deny");
    if (!writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return false;
    return loopbackUp();
}

std::string claimLoopbackPort(int port, std::chrono::milliseconds bound) {
    if (privateNetwork()) return "";
    auto const end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (portFree(port)) return "";
        if (std::chrono::steady_clock::now() >= end)
            return "127.0.0.1:" + std::to_string(port) + " still held after " +
                   std::to_string(bound.count()) + " ms";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace support
