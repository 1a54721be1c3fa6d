// The monitoring controller in-process: the agent links it configures, the
// controller state it keeps over a real control connection, and the
// snapshot it keeps for agents.

#include "monitoring/monitoring_ctl.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/loop.h"
#include "monitoring/mon_codec.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"
#include "server/acceptor_net.h"
#include "server/tpkt.h"
#include "tests/support/test_agent.h"
#include "tools/ctl/message_text.h"

namespace {

support::TempRoot root;

void configure(std::string const& text) {
    IniFile::File file;
    std::istringstream in(text);
    in >> file;
    MonitoringCtl::instance().Configure(file);
}

}  // namespace

TEST(MonitoringConfigure, MakesOneAgentLinkPerCompleteSubsectionWithAPort) {
    support::StreamCapture errors(std::cerr);
    configure(
        "[snmpagent]\nhost=127.0.0.1:7161\nname=snmp\n"
        "[snmpagent]\nhost=127.0.0.1:7162\n"
        "[snmpagent]\nhost=127.0.0.1\nname=ems\n"
        "[snmpagent]\nhost=127.0.0.1:0\nname=zabbix\n");
    auto const& agents = MonitoringCtl::instance().agents();
    ASSERT_EQ(agents.size(), 1u);
    EXPECT_EQ(agents[0]->prefix(), "snmpagent.snmp 127.0.0.1:7161");
    EXPECT_EQ(errors.text(),
              "snmpagent: required key \"name\" not present, line 4\n"
              "snmpagent: agent \"ems\" needs an address and a port, not \"127.0.0.1\"\n"
              "snmpagent: agent \"zabbix\" needs an address and a port, not \"127.0.0.1:0\"\n");
    configure("[traces]\nsignalling.hdlc=yes\n");
    EXPECT_TRUE(MonitoringCtl::instance().agents().empty());
}

TEST(MonitoringController, FollowsTheConnectionTheProcessAndWhatTheControllerSays) {
    MonitoringCtl& monitoring = MonitoringCtl::instance();
    auto const status = [&] { return monitoring.controller().get_status().asInt(); };
    ctrlServer.Bind(&monitoring);
    int const port = support::freePort();
    ASSERT_TRUE(ctrlServer.Activate(new Control::AcceptorNet(port)));
    // Only a process of that very name counts.
    std::ofstream(root.mkdirs("proc/7") + "/stat") << "7 (controller2) S 1\n";
    std::ofstream(root.mkdirs("proc/self") + "/stat") << "9 (controller) S 1\n";
    monitoring.CheckController();
    EXPECT_EQ(status(), HSP::ControllerStatus::notrun);

    std::ofstream(root.mkdirs("proc/40") + "/stat") << "40 (controller) S 1\n";
    support::Controller controller;
    ASSERT_TRUE(controller.connect(port));
    ASSERT_TRUE(support::runUntil([&] { return status() == HSP::ControllerStatus::ok; }, 2000));
    controller.send(support::frame(
        Ctl::encodeMessage("{ seq 1, pdu command : display : controller : "
                           "{ host { iaddr \"10.0.0.2\", port 20001 }, status standby } }")
            .payload));
    ASSERT_TRUE(support::runUntil([&] { return status() == HSP::ControllerStatus::standby; }, 2000));
    monitoring.CheckController();
    EXPECT_EQ(status(), HSP::ControllerStatus::standby);

    controller.close();
    EXPECT_TRUE(
        support::runUntil([&] { return status() == HSP::ControllerStatus::notconnection; }, 2000));
    ctrlServer.Deactivate();
}

TEST(MonitoringState, KeepsTheLatestValueOfEachIdAndCutsTheSnapshotToFrames) {
    MonitoringState state;
    MON::SnmpSetCommand command;
    for (int i = 0; i <= 3000; ++i) {
        command.set_uniq(i);
        command.set_id().select_oid("1.3.6.1.4.1." + std::to_string(i % 3000));
        command.set_value(std::string(i < 3000 ? 40 : 0, 'x'));
        MON::SnmpSetCommands one;
        one.set_commands().push_back(command);
        EXPECT_EQ(state.Set(one), 0u);
    }
    EXPECT_EQ(state.values(), 3000u);
    unsigned total = 0, stale = 0, frames = 0;
    std::vector<char> octets;
    for (MON::Message const& message : state.Snapshot()) {
        ASSERT_TRUE(MonCodec::Encode(message, octets));
        EXPECT_LE(octets.size(), Tpkt_protocol::max_payload);
        ++frames;
        for (auto const& each : message.get_pdu().get_command().get_snmp_set().get_commands()) {
            ++total;
            stale += each.get_uniq().getValue() == 0;
        }
    }
    EXPECT_EQ(frames, 3u);
    EXPECT_EQ(total, 3000u);
    EXPECT_EQ(stale, 0u);
}
