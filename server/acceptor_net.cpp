#include "server/acceptor_net.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstring>
#include <iostream>

#include "server/listen_socket.h"

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
    SetAddr(peer_.GetString());
    SetState(State::Connected);
    attach(fd);
    activate_stack();
    if (notify()) notify()->OnConnect();
}

AcceptorNet::AcceptorNet() {
    init();
}

AcceptorNet::AcceptorNet(int port) : port_(static_cast<unsigned short>(port)) {
    init();
}

AcceptorNet::AcceptorNet(int port, bool debug) : port_(static_cast<unsigned short>(port)) {
    this->debug(debug);
    init();
}

AcceptorNet::~AcceptorNet() = default;

void AcceptorNet::init() {
    event_.Bind("AcceptorNet::OnSocketEvent", &AcceptorNet::OnSocketEvent, this);
}

bool AcceptorNet::ImplActivate() {
    // Every failure on the way to a listening socket is tried again later,
    // so an active acceptor always ends up listening.
    BindSocket();
    return true;
}

void AcceptorNet::ImplDeactivate() {
    bind_timer_.reset();
    event_.Release();
    listener_.close();
}

bool AcceptorNet::CreateSocket() {
    listener_ = Fd(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener_.is_valid()) {
        Errno const error;
        if (debug()) std::cerr << "can't create socket:" << error << std::endl;
        return false;
    }
    set_option(listener_, SOL_SOCKET, SO_REUSEADDR, 1);
    return true;
}

void AcceptorNet::RetryLater() {
    event_.Release();
    listener_.close();
    bind_timer_.set(bind_retry_ms, &AcceptorNet::OnTimeout, this);
}

void AcceptorNet::OnTimeout(Timer*) {
    BindSocket();
}

void AcceptorNet::BindSocket() {
    if (!listener_.is_valid() && !CreateSocket()) {
        RetryLater();
        return;
    }
    INet4::Addr any;
    any.port(port_);
    switch (Listen(listener_, any, any.size(), debug())) {
        case ListenStep::listening:
            event_.Schedule(listener_, POLLIN);
            return;
        case ListenStep::bind_failed:  // the same socket is bound again later
            bind_timer_.set(bind_retry_ms, &AcceptorNet::OnTimeout, this);
            return;
        case ListenStep::failed:
            RetryLater();
            return;
    }
}

void AcceptorNet::OnSocketEvent(int, short revents) {
    if (!(revents & POLLIN)) return;
    for (;;) {
        INet4::Addr peer;
        socklen_t size = peer.size();
        Fd const socket(::accept(listener_.lowlevel_fd(), peer, &size));
        if (!socket.is_valid()) return;
        if (GetState() == State::Connected) {
            if (debug()) std::cerr << "refuse connection from " << peer << std::endl;
            ImplRefuseConnection();
            continue;  // closed here
        }
        if (!socket.NonBlock()) {
            Errno const error;
            if (debug()) std::cerr << "can't set socket to non block mode: " << error << std::endl;
            continue;
        }
        if (debug()) std::cout << "new connection from " << peer << std::endl;
        Connected(socket, peer);
        ImplConnected(socket);
    }
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
