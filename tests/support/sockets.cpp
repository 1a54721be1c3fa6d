#include "tests/support/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/loop.h"

namespace support {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<unsigned short>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

}  // namespace

Pipe::Pipe() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    reader = Fd(fds[0]);
    writer = Fd(fds[1]);
}

void Pipe::put(char const* text) const {
    ssize_t const n = ::write(writer.lowlevel_fd(), text, std::strlen(text));
    (void)n;
}

SocketPair::SocketPair() {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return;
    local = Fd(fds[0]);
    peer = Fd(fds[1]);
}

TcpPair::TcpPair() {
    TcpListener const listener(0, 1);
    peer = connectTcp(listener.port());
    local = listener.accept();
}

TcpListener::TcpListener(int port, int backlog) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    int const on = 1;
    ::setsockopt(fd_.lowlevel_fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in const sa = loopback(port);
    listening_ =
        ::bind(fd_.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&sa), sizeof(sa)) == 0 &&
        ::listen(fd_.lowlevel_fd(), backlog) == 0 && fd_.NonBlock();
}

unsigned short TcpListener::port() const {
    return localPort(fd_);
}

Fd TcpListener::accept() const {
    return Fd(::accept(fd_.lowlevel_fd(), nullptr, nullptr));
}

bool runUntilAccepted(TcpListener const& listener, Fd& peer, std::function<bool()> const& condition,
                      unsigned bound_ms) {
    return runUntil(
        [&] {
            if (!peer.is_valid()) peer = listener.accept();
            return peer.is_valid() && condition();
        },
        bound_ms);
}

UdpPeer::UdpPeer(int port) : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in const sa = loopback(port);
    bound_ = ::bind(fd_.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&sa), sizeof(sa)) == 0;
}

unsigned short UdpPeer::port() const {
    return localPort(fd_);
}

Bytes UdpPeer::receive(unsigned bound_ms) const {
    pollfd entry{fd_.lowlevel_fd(), POLLIN, 0};
    if (::poll(&entry, 1, int(bound_ms)) != 1) return {};
    Bytes datagram(65536);
    ssize_t const got = ::recv(fd_.lowlevel_fd(), datagram.data(), datagram.size(), MSG_DONTWAIT);
    datagram.resize(got > 0 ? size_t(got) : 0);
    return datagram;
}

int freeUdpPair() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        int const port = UdpPeer().port() & ~1;
        if (port == 0) continue;
        UdpPeer const even(port), odd(port + 1);
        if (even.bound() && odd.bound()) return port;
    }
    return 0;
}

int freePort() {
    Fd const fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in const sa = loopback(0);
    ::bind(fd.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&sa), sizeof(sa));
    return localPort(fd);
}

RefusingPort::RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in const sa = loopback(0);
    ::bind(fd_.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&sa), sizeof(sa));
    port_ = localPort(fd_);
}

Fd connectTcp(int port, int receive_buffer, bool wait) {
    Fd fd(::socket(AF_INET, SOCK_STREAM, 0));
    if (receive_buffer > 0)
        ::setsockopt(fd.lowlevel_fd(), SOL_SOCKET, SO_RCVBUF, &receive_buffer,
                     sizeof(receive_buffer));
    if (!wait) fd.NonBlock();
    sockaddr_in const sa = loopback(port);
    int const result =
        ::connect(fd.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&sa), sizeof(sa));
    if (wait && result != 0) return Fd();
    return fd;
}

Fd connectUnix(std::string const& path, int type) {
    Fd fd(::socket(AF_UNIX, type | SOCK_CLOEXEC, 0));
    sockaddr_un sa;
    std::memset(&sa, 0, sizeof(sa));
    sa.sun_family = AF_UNIX;
    std::strncpy(sa.sun_path, path.c_str(), sizeof(sa.sun_path) - 1);
    if (::connect(fd.lowlevel_fd(), reinterpret_cast<sockaddr const*>(&sa), sizeof(sa)) != 0)
        return Fd();
    return fd;
}

unsigned short localPort(Fd const& fd) {
    sockaddr_in sa{};
    socklen_t size = sizeof(sa);
    ::getsockname(fd.lowlevel_fd(), reinterpret_cast<sockaddr*>(&sa), &size);
    return ntohs(sa.sin_port);
}

Bytes drain(Fd const& fd) {
    Bytes out;
    unsigned char buf[65536];
    for (;;) {
        ssize_t const got = ::recv(fd.lowlevel_fd(), buf, sizeof(buf), MSG_DONTWAIT);
        if (got <= 0) return out;
        out.insert(out.end(), buf, buf + got);
    }
}

bool sendAll(Fd const& fd, Bytes const& bytes) {
    return ::send(fd.lowlevel_fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           ssize_t(bytes.size());
}

bool atEnd(Fd const& fd) {
    char c;
    return ::recv(fd.lowlevel_fd(), &c, 1, MSG_DONTWAIT) == 0;
}

bool listening(int port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    char wanted[16];
    std::snprintf(wanted, sizeof(wanted), ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 5 && local.compare(local.size() - 5, 5, wanted) == 0)
            return true;
    }
    return false;
}

}  // namespace support
