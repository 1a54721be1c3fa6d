#include "server/connector_unix.h"

#include <sys/socket.h>
#include <unistd.h>

#include <iostream>

#include "runtime/system/platform_path.h"

namespace Control {

namespace {

std::string resolve(std::string const& path) {
    return path.empty() ? path : Platform::path(path);
}

}  // namespace

ConnectorUnix::ConnectorUnix() {
    init();
}

ConnectorUnix::ConnectorUnix(std::string const& server) : server_(resolve(server)) {
    init();
}

ConnectorUnix::ConnectorUnix(std::string const& server, std::string const& local)
    : server_(resolve(server)), local_(resolve(local)) {
    init();
}

ConnectorUnix::~ConnectorUnix() = default;

void ConnectorUnix::init() {
    event_.Bind("ConnectorUnix::OnSocketEvent", &ConnectorUnix::OnSocketEvent, this);
}

bool ConnectorUnix::ImplActivate() {
    quick_retries_left_ = quick_retries;
    TryConnect();
    // TryConnect deactivates the connector when it cannot go on at all.
    return GetState() != State::Idle;
}

void ConnectorUnix::ImplDeactivate() {
    Release();
    socket_.close();
    retry_timer_.reset();
    event_.Release();
}

void ConnectorUnix::ImplOnDisconnect() {
    retry_timer_.set(reconnect_ms, &ConnectorUnix::OnTimeout, this);
}

void ConnectorUnix::OnTimeout(Timer*) {
    TryConnect();
}

void ConnectorUnix::TryConnect() {
    event_.Release();
    std::string problem = UnixAddress::Problem(server_);
    if (problem.empty() && !local_.empty()) problem = UnixAddress::Problem(local_);
    if (!problem.empty()) {
        std::cerr << "can't connect to domain socket: " << problem << std::endl;
        Deactivate();
        return;
    }
    socket_ = Fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (!socket_.is_valid()) {
        Errno const error;
        std::cerr << "can't create domain socket:" << error << std::endl;
        Deactivate();
        return;
    }
    if (!socket_.NonBlock()) {
        Errno const error;
        std::cerr << "can't set domain socket to non block mode: " << error << std::endl;
        Deactivate();
        return;
    }
    if (!local_.empty()) {
        UnixAddress const local(local_);
        ::unlink(local_.c_str());
        if (::bind(socket_.lowlevel_fd(), local, local.size()) != 0) {
            Errno const error;
            std::cerr << "can't bind to domain socket '" << local_ << "': " << '"' << error
                      << std::endl;
        }
    }
    UnixAddress const server(server_);
    if (::connect(socket_.lowlevel_fd(), server, server.size()) != 0) {
        Errno const error;
        std::cerr << "can't connect to " << server_ << " : " << error << std::endl;
        ScheduleRetry(refused_retry_ms);
        return;
    }
    std::clog << "connected to " << server_ << std::endl;
    event_.Schedule(socket_, POLLOUT);
    Connected(socket_, server_);
    socket_.close();
}

void ConnectorUnix::OnSocketEvent(int, short revents) {
    if (revents & (POLLERR | POLLHUP)) {
        std::cerr << "fail to connect to " << server_ << std::endl;
        event_.Release();
        ScheduleRetry(hangup_retry_ms);
        return;
    }
    if (revents & POLLOUT) event_.Release();
}

void ConnectorUnix::ScheduleRetry(unsigned slow_ms) {
    socket_.close();
    unsigned delay = slow_ms;
    if (quick_retries_left_ > 0) {
        --quick_retries_left_;
        delay = quick_retry_ms;
    }
    retry_timer_.set(delay, &ConnectorUnix::OnTimeout, this);
}

}  // namespace Control
