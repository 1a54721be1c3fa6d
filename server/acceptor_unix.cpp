#include "server/acceptor_unix.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "runtime/system/platform_path.h"

namespace Control {

AcceptorUnix::AcceptorUnix() : Acceptor("AcceptorUnix::OnSocketEvent") {}

AcceptorUnix::AcceptorUnix(std::string const& path)
    : Acceptor("AcceptorUnix::OnSocketEvent"), path_(Platform::path(path)) {}

AcceptorUnix::~AcceptorUnix() = default;

bool AcceptorUnix::ImplActivate() {
    std::string const problem = UnixAddress::Problem(path_);
    if (!problem.empty()) {
        std::cerr << "can't listen on domain socket: " << problem << std::endl;
        return false;
    }
    // Every other failure on the way to a listening socket is tried again
    // later, so an active acceptor ends up listening.
    BindSocket();
    return true;
}

Fd AcceptorUnix::NewSocket() const {
    return Fd(::socket(AF_UNIX, SOCK_STREAM, 0));
}

AcceptorUnix::ListenStep AcceptorUnix::Listen(Fd const& listener) {
    UnixAddress const address(path_);
    // A socket file left by an earlier run would make the bind fail.
    ::unlink(path_.c_str());
    return ListenOn(listener, address, address.size());
}

std::string AcceptorUnix::PeerOf(sockaddr_storage const& address, socklen_t size) const {
    sockaddr_un peer;
    std::memcpy(&peer, &address, sizeof(peer));
    return UnixAddress::PeerPath(peer, size);
}

}  // namespace Control
