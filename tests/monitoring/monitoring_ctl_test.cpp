#include "monitoring/monitoring_ctl.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "tests/support/capture.h"

namespace {

TEST(MonitoringConfigure, MakesOneAgentPerCompleteSubsectionWithAPort) {
    IniFile::File file;
    std::istringstream in(
        "[snmpagent]\nhost=127.0.0.1:7161\nname=snmp\n"
        "[snmpagent]\nhost=127.0.0.1:7162\n"
        "[snmpagent]\nhost=127.0.0.1\nname=ems\n"
        "[snmpagent]\nhost=127.0.0.1:0\nname=zabbix\n");
    in >> file;
    support::StreamCapture errors(std::cerr);
    MonitoringCtl::instance().Configure(file);
    auto const& agents = MonitoringCtl::instance().agents();
    ASSERT_EQ(agents.size(), 1u);
    EXPECT_EQ(agents[0].name, "snmp");
    std::ostringstream address;
    address << agents[0].address;
    EXPECT_EQ(address.str(), "127.0.0.1:7161");
    EXPECT_EQ(errors.text(),
              "snmpagent: required key \"name\" not present, line 4\n"
              "snmpagent: agent \"ems\" needs an address and a port, not \"127.0.0.1\"\n"
              "snmpagent: agent \"zabbix\" needs an address and a port, not \"127.0.0.1:0\"\n");
}

TEST(MonitoringConfigure, AMissingSectionConfiguresNoAgent) {
    IniFile::File file;
    std::istringstream in("[traces]\nsignalling.hdlc=yes\n");
    in >> file;
    MonitoringCtl::instance().Configure(file);
    EXPECT_TRUE(MonitoringCtl::instance().agents().empty());
}

}  // namespace
