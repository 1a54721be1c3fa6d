#pragma once
// Control::ConnectorUnix opens a framed connection to a Unix socket path with
// the retry schedule of the TCP connector: after each Activate() seven failed
// attempts are retried after 1000 ms, later ones after 20 seconds (connect
// refused) or 15 seconds (error reported while connecting); a connection that
// drops is opened again 10 seconds later. It can bind its own socket to a
// local path first, so that the peer sees who connects. Paths are resolved
// through Platform::path when the connector is built. No part of the server
// creates one.

#include <cstdint>
#include <string>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "server/service_unix.h"

namespace Control {

class ConnectorUnix : public ServiceUnix {
public:
    static constexpr int quick_retries = 7;
    static constexpr unsigned quick_retry_ms = 1000;
    static constexpr unsigned refused_retry_ms = 20000;
    static constexpr unsigned hangup_retry_ms = 15000;
    static constexpr unsigned reconnect_ms = 10000;

    ConnectorUnix();
    explicit ConnectorUnix(std::string const& server);
    ConnectorUnix(std::string const& server, std::string const& local);
    ~ConnectorUnix() override;

    void TryConnect();
    void OnSocketEvent(int fd, short revents);
    void OnTimeout(Timer*);

    std::string const& server_path() const { return server_; }
    std::string const& local_path() const { return local_; }
    int quick_retries_left() const { return quick_retries_left_; }
    bool retry_pending() const { return retry_timer_.is_running(); }

protected:
    // Restores the quick retries and makes the first attempt. False when the
    // connector gave up at once (a path that cannot be a socket address, or
    // no socket).
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplOnDisconnect() override;

private:
    void init();
    void ScheduleRetry(unsigned slow_ms);

    std::string server_;
    std::string local_;
    Fd socket_;
    Timer retry_timer_;
    Event event_;
    int32_t quick_retries_left_ = 0;
};

}  // namespace Control
