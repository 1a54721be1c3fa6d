#pragma once
// Control::AcceptorUnix listens on a Unix socket path and takes one framed
// connection at a time, as Control::AcceptorNet does on a TCP port: a stale
// socket file at the path is removed before each bind, a failed bind is
// retried every 5000 ms, and every further connection is refused while one
// stands. The path is resolved through Platform::path when the acceptor is
// built; the socket file is left in place when the acceptor stops. No part of
// the server creates one.

#include <string>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "server/service_unix.h"

namespace Control {

class AcceptorUnix : public ServiceUnix {
public:
    static constexpr unsigned bind_retry_ms = 5000;

    AcceptorUnix();
    explicit AcceptorUnix(std::string const& path);
    ~AcceptorUnix() override;

    void BindSocket();
    void OnTimeout(Timer*);
    void OnSocketEvent(int fd, short revents);
    // The resolved socket path.
    std::string const& path() const { return path_; }
    bool listening() const { return event_.IsActive(); }

protected:
    // False (logged) when the path cannot be a socket address; otherwise
    // listens, or keeps trying to, and returns true.
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplOnDisconnect() override {}
    virtual void ImplRefuseConnection() {}
    virtual void ImplConnected(Fd const&) {}

private:
    void init();
    bool CreateSocket();
    // Closes the listening socket and tries again after bind_retry_ms.
    void RetryLater();

    std::string path_;
    Fd listener_;
    Timer bind_timer_;
    Event event_;
};

}  // namespace Control
