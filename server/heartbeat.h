#pragma once
// The control link's watchdog. Bound first to the control server, it sees
// every command: each one restarts a 120-second timer (never armed before the
// first command of a connection), and `ping` is answered here. When the timer
// runs out, "heartbeat timeout!!!" goes to the log stream and the controller
// connection is closed, which makes every service hear a disconnect.

#include "runtime/loop/timer.h"
#include "server/ctrl_server.h"

class HeartBeatCtl : public CtrlSrv::Service {
public:
    static constexpr unsigned timeout_ms = 120000;

    static HeartBeatCtl& instance();

    // A shorter period is for tests; the server uses timeout_ms.
    explicit HeartBeatCtl(unsigned period_ms = timeout_ms) : period_ms_(period_ms) {}
    void OnConnect() override {}
    void OnDisconnect() override { timer_.reset(); }
    bool OnCommand(LGCP::Command const& command) override;

    void OnHeartbeatTimeout(Timer*);
    bool watching() const { return timer_.is_running(); }

private:
    unsigned period_ms_;
    Timer timer_;
};
