#include "tests/support/lapd_peer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "tests/support/board_tool.h"
#include "tests/support/bytes.h"

namespace support {

bool LapdPeer::connect(std::string const& root, int channel) {
    std::string path = boardTool(root, "mcc line " + std::to_string(channel));
    if (path.empty() || path[0] != '/') return false;
    path = root + path.substr(0, path.find('\n'));
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    socket_ = Fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    return ::connect(socket_.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address),
                     sizeof(address)) == 0;
}

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
