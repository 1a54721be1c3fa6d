#include "server/connector.h"

#include <iostream>

#include "server/service_net.h"
#include "server/service_unix.h"

namespace Control {

template <class Link>
Connector<Link>::Connector(char const* event_name, char const* kind, int domain, int protocol,
                           ConnectorDelays const& delays)
    : kind_(kind), domain_(domain), protocol_(protocol), delays_(delays) {
    event_.Bind(event_name, &Connector::OnSocketEvent, this);
}

template <class Link>
Connector<Link>::~Connector() = default;

template <class Link>
bool Connector<Link>::ImplActivate() {
    quick_retries_left_ = delays_.quick_retries;
    TryConnect();
    // TryConnect deactivates the connector when it cannot go on at all.
    return this->GetState() != Service::State::Idle;
}

template <class Link>
void Connector<Link>::ImplDeactivate() {
    this->Release();
    socket_.close();
    retry_timer_.reset();
    event_.Release();
}

template <class Link>
void Connector<Link>::ImplOnDisconnect() {
    retry_timer_.set(delays_.reconnect_ms, &Connector::OnTimeout, this);
}

template <class Link>
void Connector<Link>::OnTimeout(Timer*) {
    TryConnect();
}

template <class Link>
bool Connector<Link>::OpenSocket() {
    event_.Release();
    socket_ = Fd(::socket(domain_, SOCK_STREAM, protocol_));
    if (!socket_.is_valid()) {
        Errno const error;
        std::cerr << "can't create " << kind_ << ":" << error << std::endl;
        this->Deactivate();
        return false;
    }
    if (!socket_.NonBlock()) {
        Errno const error;
        std::cerr << "can't set " << kind_ << " to non block mode: " << error << std::endl;
        this->Deactivate();
        return false;
    }
    return true;
}

template <class Link>
int Connector<Link>::Connect(sockaddr const* address, socklen_t size) const {
    return ::connect(socket_.lowlevel_fd(), address, size);
}

template <class Link>
void Connector<Link>::OnSocketEvent(int, short revents) {
    if (revents & (POLLERR | POLLHUP)) {
        std::cerr << "fail to connect to " << target_ << std::endl;
        event_.Release();
        ScheduleRetry(delays_.hangup_ms);
        return;
    }
    if (!(revents & POLLOUT)) return;
    event_.Release();
    ConnectDone();
}

template <class Link>
void Connector<Link>::Refused() {
    Errno const error;
    std::cerr << "can't connect to " << target_ << " : " << error << std::endl;
    ScheduleRetry(delays_.refused_ms);
}

template <class Link>
void Connector<Link>::ScheduleRetry(unsigned slow_ms) {
    socket_.close();
    unsigned delay = slow_ms;
    if (quick_retries_left_ > 0) {
        --quick_retries_left_;
        delay = delays_.quick_ms;
    }
    retry_timer_.set(delay, &Connector::OnTimeout, this);
}

template <class Link>
void Connector<Link>::Established() {
    this->Connected(socket_, target_);
    socket_.close();
}

template class Connector<ServiceNet>;
template class Connector<ServiceUnix>;

}  // namespace Control
