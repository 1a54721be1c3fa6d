#pragma once
// The monitoring controller as a control service, bound last. It reads the
// SNMP agents of the section "snmpagent", takes the command `display` and
// answers it, and tells a newly connected controller the power-supply state
// as the signal `power`. The monitoring files, the periodic checks and the
// agent links come with the monitoring subsystem.

#include <string>
#include <vector>

#include "runtime/config/ini_file.h"
#include "runtime/system/inet.h"
#include "server/ctrl_server.h"

class MonitoringCtl : public CtrlSrv::Service {
public:
    struct Agent {
        std::string name;
        INet4::Addr address;
    };

    static MonitoringCtl& instance();

    // One agent per complete subsection of "snmpagent" whose "host" carries
    // an address and a port.
    void Configure(IniFile::File& file);

    void OnConnect() override;
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const& command) override;

    std::vector<Agent> const& agents() const { return agents_; }
    // The power-supply state; unknown while no board reports it.
    LGCP::POWERStatus::NamedNumber power() const { return LGCP::POWERStatus::unknown; }

private:
    std::vector<Agent> agents_;
};
