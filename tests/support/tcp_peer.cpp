#include "tests/support/tcp_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace support {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the descriptor to become readable before the end; false when not.
bool readable(int fd, Clock::time_point end) {
    auto const left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    pollfd entry{fd, POLLIN, 0};
    return left.count() > 0 && ::poll(&entry, 1, int(left.count())) == 1;
}

}  // namespace

TcpPeer::TcpPeer(int backlog) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(sa);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 &&
        ::listen(listener_, backlog) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &size) == 0)
        port_ = ntohs(sa.sin_port);
}

TcpPeer::~TcpPeer() {
    close();
    ::close(listener_);
}

std::string TcpPeer::address() const { return "127.0.0.1:" + std::to_string(port_); }

bool TcpPeer::accept(std::chrono::milliseconds bound) {
    close();
    if (!readable(listener_, Clock::now() + bound)) return false;
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return connection_ >= 0;
}

Bytes TcpPeer::read(size_t n, std::chrono::milliseconds bound) {
    Bytes bytes;
    auto const end = Clock::now() + bound;
    while (bytes.size() < n && readable(connection_, end)) {
        unsigned char buffer[4096];
        size_t const want = std::min(sizeof(buffer), n - bytes.size());
        ssize_t const got = ::recv(connection_, buffer, want, 0);
        if (got <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

void TcpPeer::write(Bytes const& bytes) const {
    ssize_t const sent = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    (void)sent;
}

bool TcpPeer::closedByServer(std::chrono::milliseconds bound) {
    auto const end = Clock::now() + bound;
    unsigned char buffer[4096];
    while (readable(connection_, end))
        if (::recv(connection_, buffer, sizeof(buffer), 0) <= 0) return true;
    return false;
}

void TcpPeer::close() {
    if (connection_ >= 0) ::close(connection_);
    connection_ = -1;
}

}  // namespace support
