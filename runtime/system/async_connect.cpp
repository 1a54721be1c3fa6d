#include "runtime/system/async_connect.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <iostream>

#include "runtime/system/inet.h"

namespace ASync {

namespace {

constexpr short error_events = POLLERR | POLLHUP | POLLNVAL;

// The peer in addr, or false when the text names no peer that can be
// reached: unreadable, without a port, port 0 or the wildcard address.
bool read_peer(std::string const& text, INet4::Addr& addr) {
    int port = -1;
    if (!addr.Assign(text, &port)) return false;
    if (port <= 0) return false;
    return addr.raw().sin_addr.s_addr != htonl(INADDR_ANY);
}

}  // namespace

void Connect::Start(std::string const& address, uint32_t timeout_ms) {
    status_ = Status::connecting;
    event_.Release();
    event_.UnBind();
    timer_.reset();
    socket_.close();

    INet4::Addr peer;
    if (!read_peer(address, peer)) {
        std::cerr << "Connect: invalid peer address \"" << address << "\"" << std::endl;
        Complete(Status::failed);
        return;
    }
    socket_ = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!socket_.NonBlock()) {
        Complete(Status::failed);
        return;
    }
    if (::connect(socket_.lowlevel_fd(), peer, peer.size()) == 0) {
        Complete(Status::connected);
        return;
    }
    if (errno != EINPROGRESS) {
        Complete(Status::failed);
        return;
    }
    event_.Bind("Connect::OnSocketEvent", &Connect::OnSocketEvent, this);
    event_.Schedule(socket_, POLLOUT);
    if (!event_.IsActive()) {
        Complete(Status::failed);
        return;
    }
    timer_.set(timeout_ms, &Connect::OnTimeOut, this);
}

void Connect::OnSocketEvent(int, short revents) {
    if (revents & error_events) {
        Complete(Status::failed);
        return;
    }
    if (!(revents & POLLOUT)) return;
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(socket_.lowlevel_fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 ||
        error != 0) {
        Complete(Status::failed);
        return;
    }
    Complete(Status::connected);
}

void Connect::OnTimeOut(Timer*) {
    Complete(Status::failed);
}

void Connect::Complete(Status::Type status) {
    if (status_ != Status::connecting) return;
    status_ = status;
    Fd result;
    if (status == Status::connected) result = std::move(socket_);
    socket_.close();
    event_.Release();
    event_.UnBind();
    timer_.reset();
    // Last: the owner may destroy this object or start it again in this call.
    if (handler_) handler_->Invoke(status, std::move(result));
}

}  // namespace ASync
