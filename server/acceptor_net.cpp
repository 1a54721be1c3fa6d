#include "server/acceptor_net.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstring>
#include <iostream>

namespace Control {

namespace {

bool set_option(Fd const& fd, int level, int option, int value) {
    return ::setsockopt(fd.lowlevel_fd(), level, option, &value, sizeof(value)) == 0;
}

}  // namespace

AcceptorNet::AcceptorNet() : Acceptor("AcceptorNet::OnSocketEvent") {}

AcceptorNet::AcceptorNet(int port)
    : Acceptor("AcceptorNet::OnSocketEvent"), port_(static_cast<unsigned short>(port)) {}

AcceptorNet::AcceptorNet(int port, bool debug) : AcceptorNet(port) {
    this->debug(debug);
}

AcceptorNet::~AcceptorNet() = default;

bool AcceptorNet::ImplActivate() {
    // Every failure on the way to a listening socket is tried again later,
    // so an active acceptor always ends up listening.
    BindSocket();
    return true;
}

Fd AcceptorNet::NewSocket() const {
    Fd socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (socket.is_valid()) set_option(socket, SOL_SOCKET, SO_REUSEADDR, 1);
    return socket;
}

AcceptorNet::ListenStep AcceptorNet::Listen(Fd const& listener) {
    INet4::Addr any;
    any.port(port_);
    return ListenOn(listener, any, any.size());
}

INet4::Addr AcceptorNet::PeerOf(sockaddr_storage const& address, socklen_t) const {
    sockaddr_in peer;
    std::memcpy(&peer, &address, sizeof(peer));
    return INet4::Addr(peer);
}

AcceptorNetCheckConnection::AcceptorNetCheckConnection() = default;

AcceptorNetCheckConnection::AcceptorNetCheckConnection(int port) : AcceptorNet(port) {}

AcceptorNetCheckConnection::AcceptorNetCheckConnection(int port, bool debug)
    : AcceptorNet(port, debug) {}

AcceptorNetCheckConnection::~AcceptorNetCheckConnection() = default;

bool AcceptorNetCheckConnection::ImplActivate() {
    AcceptorNet::ImplActivate();
    CheckConnection();
    return true;
}

void AcceptorNetCheckConnection::ImplDeactivate() {
    check_timer_.reset();
    AcceptorNet::ImplDeactivate();
}

void AcceptorNetCheckConnection::ImplOnDisconnect() {
    // The stream layer's copy is gone already: closing this one closes the
    // TCP connection toward the peer.
    check_socket_.close();
}

void AcceptorNetCheckConnection::ImplConnected(Fd const& fd) {
    check_socket_ = fd;
}

void AcceptorNetCheckConnection::ImplRefuseConnection() {
    if (check_state_ != CheckConnectionState::Idle) return;
    check_state_ = CheckConnectionState::CheckConnection;
    check_counter_ = 2;
    SetupKeepAlive(true);
    if (debug()) std::cerr << "CheckConnectionState CheckConnection" << std::endl;
}

void AcceptorNetCheckConnection::SetupKeepAlive(bool fast) {
    set_option(check_socket_, SOL_SOCKET, SO_KEEPALIVE, 1);
    set_option(check_socket_, IPPROTO_TCP, TCP_KEEPIDLE, fast ? 1 : 7200);
    set_option(check_socket_, IPPROTO_TCP, TCP_KEEPINTVL, fast ? 1 : 75);
    set_option(check_socket_, IPPROTO_TCP, TCP_KEEPCNT, fast ? 3 : 9);
}

void AcceptorNetCheckConnection::OnCheckConnectionTimeout(Timer*) {
    CheckConnection();
}

void AcceptorNetCheckConnection::CheckConnection() {
    if (GetState() == State::Connected) {
        bool close = false;
        tcp_info info;
        std::memset(&info, 0, sizeof(info));
        socklen_t size = sizeof(info);
        if (::getsockopt(check_socket_.lowlevel_fd(), IPPROTO_TCP, TCP_INFO, &info, &size) == 0) {
            if (info.tcpi_state != TCP_ESTABLISHED) {
                if (debug())
                    std::cerr << "connection from " << GetAddr()
                              << " closed: tcp socket change state." << std::endl;
                close = true;
            }
            if (check_state_ == CheckConnectionState::CheckConnection) {
                if (info.tcpi_ca_state != 0) {
                    if (check_counter_ > 0) --check_counter_;
                    if (check_counter_ <= 0) {
                        if (debug())
                            std::cerr << "connection from " << GetAddr()
                                      << " closed: tcp socket change ca_state." << std::endl;
                        close = true;
                    }
                } else {
                    check_state_ = CheckConnectionState::Idle;
                    SetupKeepAlive(false);
                    if (debug()) std::cerr << "CheckConnectionState Idle" << std::endl;
                }
            }
        }
        int error = 0;
        socklen_t error_size = sizeof(error);
        if (::getsockopt(check_socket_.lowlevel_fd(), SOL_SOCKET, SO_ERROR, &error, &error_size) !=
            0) {
            Errno const failure;
            if (debug())
                std::cerr << "connection from " << GetAddr() << " closed: " << failure << std::endl;
            close = true;
        } else if (error != 0) {
            if (debug())
                std::cerr << "connection from " << GetAddr() << " closed: " << std::strerror(error)
                          << std::endl;
            close = true;
        }
        if (close) {
            check_state_ = CheckConnectionState::Idle;
            SetupKeepAlive(false);
            Disconnect();
            if (debug()) std::cerr << "CheckConnectionState Idle" << std::endl;
        }
    }
    check_timer_.set(check_period_ms, &AcceptorNetCheckConnection::OnCheckConnectionTimeout, this);
}

}  // namespace Control
