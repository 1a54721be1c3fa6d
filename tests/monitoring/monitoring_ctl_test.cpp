// The monitoring controller in-process: the agent links it configures, the
// controller state it keeps over a real control connection, the snapshot it
// keeps for agents, how values are bounded and batched into frames, and the
// agent links' fault lines on the loop's clock.

#include "monitoring/monitoring_ctl.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "monitoring/fault_lines.h"
#include "monitoring/mon_codec.h"
#include "tests/support/loop.h"
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

TEST(MonitoringValues, ALineBeyondItsBoundIsCutWithAMarkAndNeverInsideAnEscape) {
    struct Case {
        std::string line;
        size_t bound;
        std::string cut;
    };
    std::vector<Case> const cases = {
        {"0123456789", 10, "0123456789"},
        {"0123456789a", 10, "01...[cut]"},
        {"\\x01\\x02\\x03", 12, "\\x01\\x02\\x03"},
        // Room for 3 characters: no escape; for 4: one, not half of the next.
        {"\\x01\\x02\\x03", 11, cut_mark},
        {"\\x01\\x02\\x03x", 12, std::string("\\x01") + cut_mark},
        {std::string(12, '\\'), 11, std::string("\\\\") + cut_mark},
        {"ab\\\\cdefghij", 11, "ab...[cut]"},
    };
    for (Case const& c : cases) EXPECT_EQ(CutLine(c.line, c.bound), c.cut) << c.line;
}

TEST(MonitoringValues, BatchesFillFramesAndACommandThatDoesNotEncodeStandsAlone) {
    // 40 values of 4,000 characters, the seventh one of 20,000 that no
    // frame can carry.
    MON::SnmpSetCommands commands;
    for (int i = 0; i < 40; ++i) {
        MON::SnmpSetCommand command;
        command.set_uniq(i);
        command.set_id().select_oid("1.3.6.1.4.1.9." + std::to_string(i));
        command.set_value(std::string(i == 6 ? 20000 : 4000, 'v'));
        commands.set_commands().push_back(command);
    }
    std::vector<std::string> shapes;
    std::vector<char> octets;
    int next = 0;
    for (MON::Message const& message : SnmpSetMessages(commands)) {
        auto const& batch = message.get_pdu().get_command().get_snmp_set().get_commands();
        bool const encodes = MonCodec::Encode(message, octets);
        EXPECT_TRUE(!encodes || octets.size() <= Tpkt_protocol::max_payload);
        for (auto const& command : batch) EXPECT_EQ(command.get_uniq().getValue(), next++);
        shapes.push_back(std::to_string(batch.size()) + (encodes ? "" : " unencodable"));
    }
    EXPECT_EQ(next, 40);
    EXPECT_EQ(shapes, (std::vector<std::string>{"6", "1 unencodable", "16", "16", "1"}));
}

TEST(AgentFaultLines, TheFirstFaultIsToldWholeThenOneLineAPeriodCountsTheOthers) {
    support::StreamCapture errors(std::cerr);
    FaultLines lines("agent: decode error!", 100);
    EXPECT_TRUE(lines.Report());
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(lines.Report());
    EXPECT_EQ(lines.held(), 5u);
    ASSERT_TRUE(support::runUntil([&] { return lines.held() == 0; }, 2000));
    EXPECT_EQ(errors.text(), "agent: decode error! (5 more in 100 ms)\n");
    // The period that follows a summary counts again; one without faults
    // ends the counting, and the next fault is told whole.
    EXPECT_FALSE(lines.Report());
    ASSERT_TRUE(support::runUntil([&] { return lines.held() == 0; }, 2000));
    support::runFor(250);
    EXPECT_TRUE(lines.Report());
    EXPECT_EQ(errors.text(),
              "agent: decode error! (5 more in 100 ms)\nagent: decode error! (1 more in 100 ms)\n");
}
