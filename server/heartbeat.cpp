#include "server/heartbeat.h"

#include <iostream>

HeartBeatCtl& HeartBeatCtl::instance() {
    static HeartBeatCtl heartbeat;
    return heartbeat;
}

bool HeartBeatCtl::OnCommand(LGCP::Command const& command) {
    timer_.set(period_ms_, &HeartBeatCtl::OnHeartbeatTimeout, this);
    if (!command.ping_isSelected()) return false;
    Success();
    return true;
}

void HeartBeatCtl::OnHeartbeatTimeout(Timer*) {
    std::clog << "heartbeat timeout!!!" << std::endl;
    ctrlServer.OnHeartbeatTimeout();
}
