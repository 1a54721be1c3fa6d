#include "server/service_net.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <iostream>

namespace Control {

namespace {

bool set_option(Fd const& fd, int level, int option, int value) {
    return ::setsockopt(fd.lowlevel_fd(), level, option, &value, sizeof(value)) == 0;
}

}  // namespace

void ServiceNet::Connected(Fd const& fd, INet4::Addr const& peer) {
    if (GetState() == State::Deactivating) return;
    if (!set_option(fd, SOL_SOCKET, SO_KEEPALIVE, 1) && debug())
        std::cerr << "fail set keepalive to control socket." << std::endl;
    if (!set_option(fd, IPPROTO_TCP, TCP_NODELAY, 1) && debug())
        std::cerr << "fail to turn off Nagle algorithm." << std::endl;
    peer_ = peer;
    TakeConnection(fd, peer_.GetString());
}

}  // namespace Control
