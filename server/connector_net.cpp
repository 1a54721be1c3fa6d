#include "server/connector_net.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <iostream>

namespace Control {

ConnectorNet::ConnectorNet() {
    init();
}

ConnectorNet::ConnectorNet(std::string const& host, unsigned short port)
    : port_(port), host_(host) {
    init();
}

ConnectorNet::ConnectorNet(std::string const& address) {
    INet4::Addr parsed;
    int port = -1;
    parsed.Assign(address, &port);
    port_ = port > 0 ? static_cast<unsigned short>(port) : 0;
    host_ = address.substr(0, address.find(':'));
    init();
}

ConnectorNet::~ConnectorNet() = default;

void ConnectorNet::init() {
    event_.Bind("ConnectorNet::OnSocketEvent", &ConnectorNet::OnSocketEvent, this);
}

bool ConnectorNet::ImplActivate() {
    quick_retries_left_ = quick_retries;
    TryConnect();
    // TryConnect deactivates the connector when it cannot go on at all.
    return GetState() != State::Idle;
}

void ConnectorNet::ImplDeactivate() {
    Release();
    socket_.close();
    retry_timer_.reset();
    event_.Release();
}

void ConnectorNet::ImplOnDisconnect() {
    retry_timer_.set(reconnect_ms, &ConnectorNet::OnTimeout, this);
}

void ConnectorNet::OnTimeout(Timer*) {
    TryConnect();
}

bool ConnectorNet::BuildAddress() {
    address_ = INet4::Addr();
    address_.port(port_);
    // A host text with ":port" overrides the port.
    return address_.Assign(host_, nullptr);
}

void ConnectorNet::TryConnect() {
    event_.Release();
    if (!BuildAddress()) {
        // 0.0.0.0 would reach this host instead of the peer that was meant.
        std::cerr << "can't connect to " << host_ << ":" << port_ << " : not a dotted IPv4 address"
                  << std::endl;
        Deactivate();
        return;
    }
    socket_ = Fd(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_.is_valid()) {
        Errno const error;
        std::cerr << "can't create socket:" << error << std::endl;
        Deactivate();
        return;
    }
    if (!socket_.NonBlock()) {
        Errno const error;
        std::cerr << "can't set socket to non block mode: " << error << std::endl;
        Deactivate();
        return;
    }
    if (::connect(socket_.lowlevel_fd(), address_, address_.size()) == 0) {
        std::clog << "already connected to " << address_ << std::endl;
        Established();
        return;
    }
    if (errno == EINPROGRESS) {
        event_.Schedule(socket_, POLLOUT);
        return;
    }
    Errno const error;
    std::cerr << "can't connect to " << address_ << " : " << error << std::endl;
    ScheduleRetry(refused_retry_ms);
}

void ConnectorNet::OnSocketEvent(int, short revents) {
    if (revents & (POLLERR | POLLHUP)) {
        std::cerr << "fail to connect to " << address_ << std::endl;
        event_.Release();
        ScheduleRetry(hangup_retry_ms);
        return;
    }
    if (!(revents & POLLOUT)) return;
    event_.Release();
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(socket_.lowlevel_fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        Errno const failure;
        std::cerr << "getsockopt(SOL_SOCKET,SO_ERROR) fail: " << failure << std::endl;
        Deactivate();
        return;
    }
    if (error != 0) {
        std::cerr << "fail to connect to " << address_ << std::endl;
        ScheduleRetry(so_error_retry_ms);
        return;
    }
    std::cout << "connected to " << address_ << "." << std::endl;
    Established();
}

void ConnectorNet::Established() {
    Connected(socket_, address_);
    // Only the stream layer's copy holds the connection from now on, so a
    // Disconnect() closes it toward the peer.
    socket_.close();
}

void ConnectorNet::ScheduleRetry(unsigned slow_ms) {
    socket_.close();
    unsigned delay = slow_ms;
    if (quick_retries_left_ > 0) {
        --quick_retries_left_;
        delay = quick_retry_ms;
    }
    retry_timer_.set(delay, &ConnectorNet::OnTimeout, this);
}

}  // namespace Control
