#pragma once
// Control::Connector<Link>: what the TCP and the Unix-domain connectors share
// on top of their service form Link (ServiceNet or ServiceUnix): the socket
// of an attempt, the wait for a connect in progress, and the retry schedule.
// After each Activate() the first quick_retries failed attempts are retried
// after quick_ms, later ones after a delay that depends on how the attempt
// failed; a connection that drops is opened again reconnect_ms later. The
// family's part is the attempt itself (TryConnect) and what a completed
// connect means (ConnectDone).

#include <sys/socket.h>

#include <cstdint>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"

namespace Control {

// The connectors' delays; the defaults are the server's, tests shorten them.
struct ConnectorDelays {
    int32_t quick_retries = 7;
    unsigned quick_ms = 1000;
    unsigned refused_ms = 20000;    // connect() failed at once
    unsigned hangup_ms = 15000;     // POLLERR or POLLHUP while connecting
    unsigned so_error_ms = 12000;   // the connect completed with an error
    unsigned reconnect_ms = 10000;  // after an established link dropped
};

template <class Link>
class Connector : public Link {
public:
    using Peer = typename Link::Peer;

    ~Connector() override;

    // One connection attempt.
    virtual void TryConnect() = 0;
    void OnSocketEvent(int fd, short revents);
    void OnTimeout(Timer*);

    ConnectorDelays const& delays() const { return delays_; }
    int quick_retries_left() const { return quick_retries_left_; }
    bool retry_pending() const { return retry_timer_.is_running(); }
    bool connecting() const { return event_.IsActive(); }

protected:
    // `kind` names the socket in the error lines ("socket", "domain
    // socket"); the socket event carries the name given.
    Connector(char const* event_name, char const* kind, int domain, int protocol,
              ConnectorDelays const& delays);

    // Restores the quick retries and makes the first attempt. False when the
    // connector gave up at once.
    bool ImplActivate() override;
    void ImplDeactivate() override;
    // Opens the link again reconnect_ms later.
    void ImplOnDisconnect() override;

    // The socket event saw the connect in progress complete.
    virtual void ConnectDone() {}

    // For the attempt: where it goes (as the lines print it too) ...
    void target(Peer const& target) { target_ = target; }
    Peer const& target() const { return target_; }
    // ... a new non-blocking socket; false (logged, connector deactivated)
    // when there is none ...
    bool OpenSocket();
    Fd const& socket() const { return socket_; }
    // ... connecting it, as connect() does ...
    int Connect(sockaddr const* address, socklen_t size) const;
    // ... waiting for a connect in progress ...
    void WaitForConnect() { event_.Schedule(socket_, POLLOUT); }
    // ... a connect refused at once (the line with errno, and a retry) ...
    void Refused();
    // ... a quick retry while any is left, else slow_ms later ...
    void ScheduleRetry(unsigned slow_ms);
    // ... and success: the stream layer takes its own copy of the socket, so
    // a Disconnect() closes it toward the peer.
    void Established();

private:
    char const* const kind_;
    int const domain_;
    int const protocol_;
    ConnectorDelays const delays_;
    Peer target_;
    Fd socket_;
    Timer retry_timer_;
    Event event_;
    int32_t quick_retries_left_ = 0;
};

}  // namespace Control
