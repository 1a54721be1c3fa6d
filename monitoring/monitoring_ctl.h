#pragma once
// The monitoring controller: the control service that takes `display`, bound
// last, and the owner of one link per SNMP agent of the section "snmpagent".
// Trap destinations and values that the controller sets through `display`
// go to every connected agent at once and are kept; when a link comes up,
// every connected agent is told all of them again (from a deferred call, once
// per loop pass however many links came up). Every `display` is answered
// success, with or without agents.
//
// It also keeps the controller state: every five seconds, and whenever the
// controller connects or goes, it is set from the control connection and the
// presence of the controller process; a `display` item `controller` replaces
// it for as long as that controller stays connected. A newly connected
// controller is told the power-supply state as the signal `power`.

#include <memory>
#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"
#include "monitoring/monitoring_state.h"
#include "monitoring/snmp_agent_instance.h"
#include "runtime/config/ini_file.h"
#include "runtime/loop/dpc.h"
#include "runtime/loop/timer.h"
#include "server/ctrl_server.h"

class MonitoringCtl : public CtrlSrv::Service, public ISnmpAgentNotify {
public:
    static constexpr unsigned controller_check_ms = 5000;

    static MonitoringCtl& instance();
    ~MonitoringCtl() override;

    // One agent link per complete subsection of "snmpagent" whose "host"
    // carries an address and a port; the links of an earlier call go.
    void Configure(IniFile::File& file);

    void OnConnect() override;
    void OnDisconnect() override;
    bool OnCommand(LGCP::Command const& command) override;
    void OnSnmpAgentConnect(std::string const& name) override;

    // Sets the controller state: connected, OK unless the controller said
    // otherwise since it connected; else "not connected" while the
    // controller process runs and "not running" when it does not.
    void CheckController();
    LGCP::ControllerInfo const& controller() const { return controller_; }

    std::vector<std::unique_ptr<SnmpAgentInstance>> const& agents() const { return agents_; }
    MonitoringState const& state() const { return state_; }
    // The power-supply state; unknown while no board reports it.
    LGCP::POWERStatus::NamedNumber power() const { return LGCP::POWERStatus::unknown; }

private:
    MonitoringCtl();
    void SendToAgents(MON::Message const& message);
    void SendSnapshot();
    void OnControllerTimer();

    std::vector<std::unique_ptr<SnmpAgentInstance>> agents_;
    MonitoringState state_;
    Dpc snapshot_call_;
    LGCP::ControllerInfo controller_;
    // The controller gave its state since it connected.
    bool controller_reported_ = false;
    Timer controller_timer_;
};
