#include "server/acceptor_unix.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "server/listen_socket.h"

#include "runtime/system/platform_path.h"

namespace Control {

AcceptorUnix::AcceptorUnix() {
    init();
}

AcceptorUnix::AcceptorUnix(std::string const& path) : path_(Platform::path(path)) {
    init();
}

AcceptorUnix::~AcceptorUnix() = default;

void AcceptorUnix::init() {
    event_.Bind("AcceptorUnix::OnSocketEvent", &AcceptorUnix::OnSocketEvent, this);
}

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

void AcceptorUnix::ImplDeactivate() {
    bind_timer_.reset();
    event_.Release();
    listener_.close();
}

bool AcceptorUnix::CreateSocket() {
    listener_ = Fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (listener_.is_valid()) return true;
    Errno const error;
    if (debug()) std::cerr << "can't create socket:" << error << std::endl;
    return false;
}

void AcceptorUnix::RetryLater() {
    event_.Release();
    listener_.close();
    bind_timer_.set(bind_retry_ms, &AcceptorUnix::OnTimeout, this);
}

void AcceptorUnix::OnTimeout(Timer*) {
    BindSocket();
}

void AcceptorUnix::BindSocket() {
    if (!listener_.is_valid() && !CreateSocket()) {
        RetryLater();
        return;
    }
    UnixAddress const address(path_);
    // A socket file left by an earlier run would make the bind fail.
    ::unlink(path_.c_str());
    switch (Listen(listener_, address, address.size(), debug())) {
        case ListenStep::listening:
            event_.Schedule(listener_, POLLIN);
            return;
        case ListenStep::bind_failed:  // the same socket is bound again later
            bind_timer_.set(bind_retry_ms, &AcceptorUnix::OnTimeout, this);
            return;
        case ListenStep::failed:
            RetryLater();
            return;
    }
}

void AcceptorUnix::OnSocketEvent(int, short revents) {
    if (!(revents & POLLIN)) return;
    for (;;) {
        sockaddr_un peer;
        std::memset(&peer, 0, sizeof(peer));
        socklen_t size = sizeof(peer);
        Fd const socket(
            ::accept(listener_.lowlevel_fd(), reinterpret_cast<sockaddr*>(&peer), &size));
        if (!socket.is_valid()) return;
        std::string const peer_path = UnixAddress::PeerPath(peer, size);
        if (GetState() == State::Connected) {
            if (debug()) std::cerr << "refuse connection from " << peer_path << std::endl;
            ImplRefuseConnection();
            continue;  // closed here
        }
        if (!socket.NonBlock()) {
            Errno const error;
            if (debug()) std::cerr << "can't set socket to non block mode: " << error << std::endl;
            continue;
        }
        if (debug()) std::cout << "new connection from " << peer_path << std::endl;
        Connected(socket, peer_path);
        ImplConnected(socket);
    }
}

}  // namespace Control
