#pragma once
// Control::ConnectorNet opens a framed control-style connection to a fixed
// IPv4 peer without blocking the main loop. Failed attempts are retried after
// 1000 ms up to seven times after each Activate(), then after 20, 15 or 12
// seconds depending on how the attempt failed; a connection that drops is
// opened again 10 seconds later. Once connected it is a Control::Service like
// any other: TPKT-framed messages through Send and the bound Control::Notify.
// Each SNMP agent link owns one.

#include <cstdint>
#include <string>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"
#include "runtime/system/inet.h"
#include "server/acceptor_net.h"

namespace Control {

class ConnectorNet : public ServiceNet {
public:
    static constexpr int quick_retries = 7;
    static constexpr unsigned quick_retry_ms = 1000;
    static constexpr unsigned refused_retry_ms = 20000;   // connect() failed at once
    static constexpr unsigned hangup_retry_ms = 15000;    // POLLERR or POLLHUP while connecting
    static constexpr unsigned so_error_retry_ms = 12000;  // the connect completed with an error
    static constexpr unsigned reconnect_ms = 10000;       // after an established link dropped

    ConnectorNet();
    ConnectorNet(std::string const& host, unsigned short port);
    // "a.b.c.d" or "a.b.c.d:port" (port 0 when none is given).
    explicit ConnectorNet(std::string const& address);
    ~ConnectorNet() override;

    // One connection attempt.
    void TryConnect();
    void OnSocketEvent(int fd, short revents);
    void OnTimeout(Timer*);

    std::string const& host() const { return host_; }
    unsigned short port() const { return port_; }
    int quick_retries_left() const { return quick_retries_left_; }
    bool retry_pending() const { return retry_timer_.is_running(); }
    bool connecting() const { return event_.IsActive(); }

protected:
    // Restores the quick retries and makes the first attempt. False when the
    // connector gave up at once (no socket, or a peer address that is not a
    // dotted IPv4 address).
    bool ImplActivate() override;
    void ImplDeactivate() override;
    // Opens the link again reconnect_ms later.
    void ImplOnDisconnect() override;

private:
    void init();
    // Builds the attempt's peer address afresh from the port and the host
    // text; false when the host text is not a dotted IPv4 address.
    bool BuildAddress();
    // Quick retry while any is left, else the cause's slow delay.
    void ScheduleRetry(unsigned slow_ms);
    // The attempt succeeded: the stream layer takes its own copy.
    void Established();

    unsigned short port_ = 0;
    std::string host_;
    Fd socket_;
    Timer retry_timer_;
    Event event_;
    INet4::Addr address_;
    int32_t quick_retries_left_ = 0;
};

}  // namespace Control
