#include "monitoring/monitoring_ctl.h"

#include <iostream>

#include "runtime/config/ini_reader.h"

MonitoringCtl& MonitoringCtl::instance() {
    static MonitoringCtl monitoring;
    return monitoring;
}

void MonitoringCtl::Configure(IniFile::File& file) {
    agents_.clear();
    for (IniFile::SubSection& subsection : file["snmpagent"]) {
        std::string host;
        std::string name;
        IniFile::Reader reader("snmpagent: ", std::cerr);
        reader.mRequired.add(&host, "host");
        reader.mRequired.add(&name, "name");
        if (!reader(subsection)) continue;
        Agent agent{name, INet4::Addr()};
        int port = -1;
        if (!agent.address.Assign(host, &port) || port <= 0) {
            std::cerr << "snmpagent: agent \"" << name << "\" needs an address and a port, not \""
                      << host << "\"\n";
            continue;
        }
        agents_.push_back(agent);
    }
}

void MonitoringCtl::OnConnect() {
    LGCP::Signal signal;
    signal.select_power(power());
    SendSignal(signal);
}

bool MonitoringCtl::OnCommand(LGCP::Command const& command) {
    if (!command.display_isSelected()) return false;
    Success();
    return true;
}
