#include "monitoring/monitoring_ctl.h"

#include <iostream>

#include "monitoring/controller_process.h"
#include "runtime/config/ini_reader.h"
#include "runtime/system/inet.h"

MonitoringCtl& MonitoringCtl::instance() {
    static MonitoringCtl monitoring;
    return monitoring;
}

MonitoringCtl::MonitoringCtl() {
    snapshot_call_.Bind(this, &MonitoringCtl::SendSnapshot);
    controller_timer_.set(controller_check_ms, &MonitoringCtl::OnControllerTimer, this);
}

MonitoringCtl::~MonitoringCtl() = default;

void MonitoringCtl::Configure(IniFile::File& file) {
    agents_.clear();
    for (IniFile::SubSection& subsection : file["snmpagent"]) {
        std::string host;
        std::string name;
        IniFile::Reader reader("snmpagent: ", std::cerr);
        reader.mRequired.add(&host, "host");
        reader.mRequired.add(&name, "name");
        if (!reader(subsection)) continue;
        INet4::Addr address;
        int port = -1;
        if (!address.Assign(host, &port) || port <= 0) {
            std::cerr << "snmpagent: agent \"" << name << "\" needs an address and a port, not \""
                      << host << "\"\n";
            continue;
        }
        agents_.push_back(
            std::make_unique<SnmpAgentInstance>(name, address.GetStrAddr(), address.port(), this));
    }
}

void MonitoringCtl::OnConnect() {
    LGCP::Signal signal;
    signal.select_power(power());
    SendSignal(signal);
    controller_reported_ = false;
    CheckController();
}

void MonitoringCtl::OnDisconnect() {
    controller_reported_ = false;
    CheckController();
}

bool MonitoringCtl::OnCommand(LGCP::Command const& command) {
    if (!command.display_isSelected()) return false;
    LGCP::DisplayParams const& item = command.get_display();
    if (item.snmpTrapReceivers_isSelected()) {
        auto const& list = item.get_snmpTrapReceivers();
        std::vector<std::string> const hosts(list.begin(), list.end());
        state_.SetTrapReceivers(hosts);
        SendToAgents(TrapsinkSetMessage(hosts));
    } else if (item.snmp_set_isSelected()) {
        MON::SnmpSetCommands const& commands = item.get_snmp_set();
        if (!state_.Set(commands))
            std::cerr << "monitoring: snmp-set: " << MonitoringState::max_values
                      << " values kept already; a new one goes only to the agents connected now"
                      << std::endl;
        if (commands.get_commands().size() > 0) SendToAgents(SnmpSetMessage(commands));
    } else if (item.controller_isSelected()) {
        controller_ = item.get_controller();
        controller_reported_ = true;
    }
    Success();
    return true;
}

void MonitoringCtl::OnSnmpAgentConnect(std::string const&) {
    snapshot_call_.Activate();
}

void MonitoringCtl::SendSnapshot() {
    snapshot_call_.Deactivate();
    for (MON::Message const& message : state_.Snapshot()) SendToAgents(message);
}

void MonitoringCtl::SendToAgents(MON::Message const& message) {
    for (auto const& agent : agents_) agent->Send(message);
}

void MonitoringCtl::OnControllerTimer() {
    controller_timer_.set(controller_check_ms, &MonitoringCtl::OnControllerTimer, this);
    CheckController();
}

void MonitoringCtl::CheckController() {
    bool connected = false;
    if (server()) CheckServerConnection(connected);
    if (connected) {
        if (!controller_reported_) controller_.set_status(HSP::ControllerStatus::ok);
        return;
    }
    controller_.set_status(ControllerProcessRunning() ? HSP::ControllerStatus::notconnection
                                                      : HSP::ControllerStatus::notrun);
}
