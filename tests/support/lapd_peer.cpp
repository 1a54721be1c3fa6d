#include "tests/support/lapd_peer.h"

#include <poll.h>
#include <sys/socket.h>

#include "tests/support/bytes.h"
#include "tests/support/sockets.h"

namespace support {

LapdPeer::LapdPeer(std::string const& path) : socket_(connectUnix(path, SOCK_SEQPACKET)) {}

void LapdPeer::send(std::string const& frame) const {
    Bytes const bytes = hex(frame);
    ::send(socket_.lowlevel_fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::string LapdPeer::next(std::chrono::milliseconds bound) const {
    pollfd entry{socket_.lowlevel_fd(), POLLIN, 0};
    if (::poll(&entry, 1, int(bound.count())) <= 0) return "";
    unsigned char buffer[4096];
    ssize_t const got = ::recv(socket_.lowlevel_fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
    if (got <= 0) return "";
    return text(Bytes(buffer, buffer + got));
}

}  // namespace support
