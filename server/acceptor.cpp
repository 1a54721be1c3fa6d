#include "server/acceptor.h"

#include <cstring>
#include <iostream>

#include "server/service_net.h"
#include "server/service_unix.h"

namespace Control {

template <class Link>
Acceptor<Link>::Acceptor(char const* event_name) {
    event_.Bind(event_name, &Acceptor::OnSocketEvent, this);
}

template <class Link>
Acceptor<Link>::~Acceptor() = default;

template <class Link>
void Acceptor<Link>::ImplDeactivate() {
    bind_timer_.reset();
    event_.Release();
    listener_.close();
}

template <class Link>
bool Acceptor<Link>::CreateSocket() {
    listener_ = NewSocket();
    if (listener_.is_valid()) return true;
    Errno const error;
    if (this->debug()) std::cerr << "can't create socket:" << error << std::endl;
    return false;
}

template <class Link>
void Acceptor<Link>::RetryLater() {
    event_.Release();
    listener_.close();
    bind_timer_.set(bind_retry_ms, &Acceptor::OnTimeout, this);
}

template <class Link>
void Acceptor<Link>::OnTimeout(Timer*) {
    BindSocket();
}

template <class Link>
void Acceptor<Link>::BindSocket() {
    if (!listener_.is_valid() && !CreateSocket()) {
        RetryLater();
        return;
    }
    switch (Listen(listener_)) {
        case ListenStep::listening:
            event_.Schedule(listener_, POLLIN);
            return;
        case ListenStep::bind_failed:  // the same socket is bound again later
            bind_timer_.set(bind_retry_ms, &Acceptor::OnTimeout, this);
            return;
        case ListenStep::failed:
            RetryLater();
            return;
    }
}

template <class Link>
typename Acceptor<Link>::ListenStep Acceptor<Link>::ListenOn(Fd const& listener,
                                                             sockaddr const* address,
                                                             socklen_t size) const {
    bool const report = this->debug();
    if (::bind(listener.lowlevel_fd(), address, size) != 0) {
        Errno const error;
        if (report)
            std::cerr << "can't bind to socket: " << '"' << error << '"' << ' ' << " waiting..."
                      << std::endl;
        return ListenStep::bind_failed;
    }
    if (::listen(listener.lowlevel_fd(), 1) != 0) {
        Errno const error;
        if (report) std::cerr << "can't listen socket: " << error << std::endl;
        return ListenStep::failed;
    }
    if (!listener.NonBlock()) {
        Errno const error;
        if (report) std::cerr << "can't set socket to non block mode: " << error << std::endl;
        return ListenStep::failed;
    }
    return ListenStep::listening;
}

template <class Link>
void Acceptor<Link>::OnSocketEvent(int, short revents) {
    if (!(revents & POLLIN)) return;
    for (;;) {
        sockaddr_storage address;
        std::memset(&address, 0, sizeof(address));
        socklen_t size = sizeof(address);
        Fd const socket(
            ::accept(listener_.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address), &size));
        if (!socket.is_valid()) return;
        Take(socket, PeerOf(address, size));
    }
}

template <class Link>
void Acceptor<Link>::Take(Fd const& socket, Peer const& peer) {
    bool const report = this->debug();
    if (this->GetState() == Service::State::Connected) {
        if (report) std::cerr << "refuse connection from " << peer << std::endl;
        ImplRefuseConnection();
        return;  // the socket is closed by the caller
    }
    if (!socket.NonBlock()) {
        Errno const error;
        if (report) std::cerr << "can't set socket to non block mode: " << error << std::endl;
        return;
    }
    if (report) std::cout << "new connection from " << peer << std::endl;
    this->Connected(socket, peer);
    ImplConnected(socket);
}

template class Acceptor<ServiceNet>;
template class Acceptor<ServiceUnix>;

}  // namespace Control
