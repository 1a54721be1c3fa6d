// The server program's monitoring, seen as an operator and an SNMP agent see
// it: the files under var/monitoring/ and the values a test agent is told,
// from the board's files and the simulated board's panel, from the
// controller's `display` items, and in the snapshot an agent gets when its
// link comes up. The checks run every few tens of milliseconds here.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "monitoring/monitoring_files.h"
#include "tests/support/board_tool.h"
#include "tests/support/loop.h"
#include "tests/support/script.h"
#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string const fastChecks =
    "[monitoring]\ncheck.first=20\ncheck.board=40\ncheck.state=20\ncheck.controller=40\n";
std::string const tracing = "[traces]\nmonitoring.internal=yes\n";

class Monitored : public AgentServer {
public:
    // The configuration names the agent "mib", fast checks and `more`.
    explicit Monitored(std::string const& more = "") : AgentServer("mib", fastChecks + more) {}

    // Writes a file under the root as a board would: whole, by a rename.
    void put(std::string const& relative, std::string const& text) const {
        std::string const path = server.root() + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path + ".new", std::ios::binary) << text;
        std::rename((path + ".new").c_str(), path.c_str());
    }
    std::string file(std::string const& name) const {
        return readFile(server.root() + "/var/monitoring/" + name);
    }
    // Waits until the monitoring file holds the text.
    bool fileIs(std::string const& name, std::string const& text) const {
        return waitFor([&] { return file(name) == text; }, 3s);
    }
    std::string board(std::string const& command) const {
        return boardTool(server.root(), command);
    }

};

}  // namespace

TEST(MonitoringChecks, FilesAndAgentsFollowTheBoardAndEachUnreadableSourceIsToldOnce) {
    Monitored m(tracing);
    // No newline at the end, a line far beyond the read bound, a missing
    // file; configuration entries among others.
    m.put("/var/version", "2.4.1");
    m.put("/var/u-boot-version", std::string(10000, 'u') + "\nsecond\n");
    m.put("/var/board-version", "B3\nrest\n");
    for (char const* entry : {"config.7", "config.2save.tar.bz2", "config.3", "configure"})
        m.put(std::string("/usr/local/etc/") + entry, "x");
    m.put("/proc/temperature", "41\n");
    m.put("/proc/driver/hdlc/peb22554/0", "sync\nlos 0\n");
    m.put("/proc/driver/hdlc/peb22554/1", "ok");
    // A FIFO without a writer must not hold the server; a directory cannot be read.
    ASSERT_EQ(::mkfifo((m.server.root() + "/proc/driver/hdlc/peb22554/2").c_str(), 0600), 0);
    std::filesystem::create_directories(m.server.root() + "/proc/driver/hdlc/peb22554/3");
    ASSERT_TRUE(m.start());

    // Each row: a monitoring file and its text (none when only told), a
    // value told to the agent.
    using Row = std::array<std::string, 4>;
    auto const seen = [&m](std::vector<Row> const& rows) {
        for (auto const& [name, text, key, value] : rows) {
            if (!name.empty()) {
                EXPECT_TRUE(m.fileIs(name, text)) << name << ": " << m.file(name);
            }
            EXPECT_TRUE(m.agent.waitTold(key, value)) << key;
        }
    };
    std::string const uboot(4096, 'u');
    seen({{"version", "2.4.1\n", "version/software/0", "2.4.1"},
          {"u-boot-version", uboot + "\n", "version/u-boot/0", uboot},
          {"fpga-version", "unknown\n", "version/fpga/0", "unknown"},
          {"board-version", "B3\n", "version/board/0", "B3"},
          {"config-version", "config.3\nconfig.7\n", "configuration/version/0",
           "config.3 config.7"},
          {"temperature", "41\n", "board/temperature/0", "41"},
          {"framer-status", "sync; los 0\nok\n\nunknown\n", "framer/status/0", "sync; los 0"},
          {"", "", "framer/status/3", "unknown"},
          {"power", "both\n", "board/power/0", "both"},
          {"dip-switch", "0x00\n", "board/dipSwitch/0", "0x00"},
          {"interfaces", "eth0 up\nhdlc0 down\nhdlc1 down\nhdlc2 down\nhdlc3 down\n",
           "interface/eth0/0", "up"},
          {"", "", "interface/hdlc3/0", "down"}});

    // Changes on the board reach the files and the agent within a period.
    m.put("/var/version", "2.5.0\n");
    m.put("/var/fpga-version", "F9\n");
    for (char const* command :
         {"panel power main", "panel dip 0x05", "ethernet down", "netif hdlc1 up"})
        EXPECT_EQ(m.board(command), "") << command;
    seen({{"version", "2.5.0\n", "version/software/0", "2.5.0"},
          {"fpga-version", "F9\n", "version/fpga/0", "F9"},
          {"power", "main\n", "board/power/0", "main"},
          {"dip-switch", "0x05\n", "board/dipSwitch/0", "0x05"},
          {"interfaces", "eth0 down\nhdlc0 down\nhdlc1 up\nhdlc2 down\nhdlc3 down\n",
           "interface/eth0/0", "down"},
          {"", "", "interface/hdlc1/0", "up"}});

    // A failing driver request makes its value unknown; the others go on.
    EXPECT_EQ(m.board("fail hal HAL_DIP_SWITCH"), "");
    EXPECT_EQ(m.board("ethernet absent"), "");
    EXPECT_TRUE(m.fileIs("dip-switch", "unknown\n"));
    EXPECT_EQ(m.board("panel power standby"), "");
    EXPECT_TRUE(m.fileIs("power", "standby\n"));
    EXPECT_TRUE(m.agent.waitTold("board/dipSwitch/0", "unknown"));
    EXPECT_TRUE(m.agent.waitTold("interface/eth0/0", "unknown"));
    // Many periods later, each source that cannot be read was told once.
    ASSERT_TRUE(waitFor([&] { return occurrences(m.server.err(), "read /var/version: 2.5.0") >= 4; },
                        5s));
    ASSERT_TRUE(waitFor(
        [&] { return occurrences(m.server.err(), "read HAL_POWER_STATUS: 2\n") >= 4; }, 5s));
    std::string const err = m.server.err();
    for (char const* line : {"monitoring: cannot read /var/fpga-version: No such file or directory\n",
                             "monitoring: cannot read /proc/driver/hdlc/peb22554/3: Is a directory\n",
                             "monitoring: cannot read HAL_DIP_SWITCH: Input/output error\n",
                             "monitoring: cannot read eth0: SIOCGIFFLAGS: No such device\n"})
        EXPECT_EQ(occurrences(err, line), 1u) << line;
    // The traces say what was read, written and told.
    for (char const* line : {"monitoring: read /var/board-version: B3\n",
                             "monitoring: read /usr/local/etc: config.3 config.7\n",
                             "monitoring: wrote /var/monitoring/dip-switch\n",
                             "monitoring: tell board/dipSwitch/0 = unknown\n"})
        EXPECT_NE(err.find(line), std::string::npos) << line;
    EXPECT_EQ(m.agent.badFrames, 0);
}

TEST(MonitoringDisplay, EachItemReachesItsFileAndTheAgentAndFramerItemsSetTheLeds) {
    Monitored m;
    ASSERT_TRUE(m.start() && m.control());
    struct Case {
        std::string item;
        std::string file;
        std::string text;
        std::vector<std::pair<std::string, std::string>> told;
    };
    std::vector<Case> const cases = {
        // A newline and a control character in a text cannot start a line.
        {"board : boardStatus : { position 1, version '0A41075C'H, status ready, type fxs }",
         "board", "position 1 version \\x0aA\\x07\\\\ status ready type fxs\n",
         {{"extBoard/version/1", "\\x0aA\\x07\\\\"},
          {"extBoard/status/1", "ready"},
          {"extBoard/type/1", "fxs"}}},
        {"board : boardChannelStatus : { position 1, channel 3, status { callerID '3132'H, "
         "calledID '33'H } }",
         "board",
         "position 1 version \\x0aA\\x07\\\\ status ready type fxs\n"
         "position 1 channel 3 callerID 12 calledID 3\n",
         {{"extBoardChannel/callerID/1003", "12"}, {"extBoardChannel/calledID/1003", "3"}}},
        {"board : boardStatus : { position 1, version '32'H, status waitBoard, type isdn }", "board",
         "position 1 version 2 status waitBoard type isdn\n"
         "position 1 channel 3 callerID 12 calledID 3\n",
         {{"extBoard/status/1", "waitBoard"}}},
        {"emPhone : phoneStatus : { id 4, panelSV '31'H, ctrlSV '32'H, fpgaSV '33'H, status "
         "ready, powerStatus main, mode sleep, hookStatus connected, baseStatus disconnected }",
         "emPhone",
         "id 4 panelSV 1 ctrlSV 2 fpgaSV 3 status ready power main mode sleep hook connected "
         "base disconnected\n",
         {{"emPhone/panelSV/4", "1"}, {"emPhone/mode/4", "sleep"}, {"emPhone/base/4", "disconnected"}}},
        {"emPhone : phoneChannelStatus : { phoneId 4, channel 2 }", "emPhone",
         "id 4 panelSV 1 ctrlSV 2 fpgaSV 3 status ready power main mode sleep hook connected "
         "base disconnected\nid 4 channel 2\n",
         {{"emPhone/channel/4", "2"}}},
        {"termCounter : { owner router, cnt 4 }", "termCounter", "owner router ownerId 0 cnt 4\n",
         {{"termCounter/router/0", "4"}}},
        {"termCounter : { owner extBoard, ownerId 2, cnt 9 }", "termCounter",
         "owner extBoard ownerId 2 cnt 9\nowner router ownerId 0 cnt 4\n",
         {{"termCounter/extBoard/2", "9"}}},
        {"framer : { e1 2, info line : TRUE }", "framer", "e1 2 line up\n", {{"framer/line/2", "up"}}},
        {"framer : { e1 3, info link : TRUE }", "framer", "e1 2 line up\ne1 3 link up\n",
         {{"framer/link/3", "up"}}},
        {"framer : { e1 3, info link : FALSE }", "framer", "e1 2 line up\ne1 3 link down\n",
         {{"framer/link/3", "down"}}},
        {"snmpTrapReceivers : { \"10.0.0.9\", \"traps:1162\" }", "snmpTrapReceivers",
         "10.0.0.9\ntraps:1162\n", {}},
        {"snmp-set : { commands { { uniq 7, id name : { section \"alarm\", name \"level\", "
         "index 2 }, value \"3\" }, { uniq 8, id oid : \"1.3.6.1.4.1.9.1\", value \"a\\nb\" } } }",
         "snmp-set", "1.3.6.1.4.1.9.1 a\\\\nb\nalarm/level/2 3\n", {}},
        {"controller : { host { iaddr \"10.0.0.2\", port 20001 }, status standby }",
         "controller-host", "10.0.0.2:20001\n",
         {{"controller/status/0", "standby"}, {"controller/host/0", "10.0.0.2:20001"}}},
    };
    for (Case const& c : cases) {
        EXPECT_TRUE(display(m.controller, c.item)) << c.item;
        EXPECT_TRUE(m.fileIs(c.file, c.text)) << c.item << "\n" << m.file(c.file);
        for (auto const& [key, value] : c.told)
            EXPECT_TRUE(m.agent.waitTold(key, value)) << c.item << ": " << key;
    }
    // framer 2 line lights LED 4, framer 3 link LED 7 (on, then out again).
    EXPECT_EQ(m.board("panel"), "power both\ndip 0x0\nleds off off off off on off off off\n");
    EXPECT_EQ(occurrences(m.board("log hal HAL_LED_SET"), " HAL_LED_SET 7 "), 2u)
        << m.board("log hal HAL_LED_SET");

    // The controller's word stands through later checks while it stays.
    ASSERT_TRUE(waitFor([&] { return occurrences(m.board("log eth0"), "SIOCGIFFLAGS") >= 6; }, 3s));
    EXPECT_EQ(m.file("controller"), "standby\n");
    // When it goes, its files go; the check finds no controller process.
    m.controller.close();
    EXPECT_TRUE(waitFor([&] { return !fileExists(m.server.root() + "/var/monitoring/controller-host"); },
                        3s));
    EXPECT_TRUE(m.fileIs("controller", "notrun\n"));
    EXPECT_TRUE(m.agent.waitTold("controller/status/0", "notrun"));
    EXPECT_TRUE(m.agent.waitTold("controller/host/0", ""));
    EXPECT_EQ(m.agent.badFrames, 0);
    // Without the trace switch the checks are silent.
    for (char const* trace : {"monitoring: read", "monitoring: tell", "monitoring: wrote"})
        EXPECT_EQ(m.server.err().find(trace), std::string::npos) << trace;
}

TEST(MonitoringSnapshot, AnAgentWhoseLinkComesUpIsToldEverythingInFramesThatEachDecode) {
    Monitored m;
    ServerProcess& server = m.server;
    TestAgent& agent = m.agent;
    ASSERT_TRUE(server.start() && m.control());
    for (char const* item :
         {"snmpTrapReceivers : { \"10.0.0.9\" }",
          "snmp-set : { commands { { uniq 1, id oid : \"1.3.6.1.4.1.9.1\", value \"v\" } } }",
          "board : boardStatus : { position 2, version '31'H, status ready, type e0 }",
          "framer : { e1 1, info line : FALSE }", "termCounter : { owner server, cnt 12 }",
          "emPhone : phoneChannelStatus : { phoneId 1, channel 5 }"})
        ASSERT_TRUE(display(m.controller, item)) << item;
    ASSERT_TRUE(waitFor([&] { return fileExists(server.root() + "/var/monitoring/interfaces"); }, 3s));

    // The connector tries again every second at first.
    ASSERT_TRUE(agent.listen());
    ASSERT_TRUE(agent.accept(3s));
    MON::Message message;
    ASSERT_TRUE(agent.read(message));
    EXPECT_TRUE(message.get_pdu().get_command().snmp_trapsink_set_isSelected());
    ASSERT_TRUE(agent.read(message));
    EXPECT_EQ(message.asValueNotation(),
              TestAgent::notation("{ pdu command : snmp-set : { commands { { uniq 1, id oid : "
                                  "\"1.3.6.1.4.1.9.1\", value \"v\" } } } }"));
    // The server's own values follow, until nothing more comes.
    while (agent.read(message, 300ms)) {
    }
    EXPECT_EQ(agent.badFrames, 0);
    for (char const* key :
         {"version/software/0", "version/u-boot/0", "version/fpga/0", "version/board/0",
          "configuration/version/0", "framer/status/0", "framer/status/3", "board/temperature/0",
          "interface/eth0/0", "interface/hdlc2/0", "board/power/0", "board/dipSwitch/0",
          "controller/status/0", "extBoard/version/2", "framer/line/1", "termCounter/server/0",
          "emPhone/channel/1"})
        EXPECT_EQ(agent.told.count(key), 1u) << key;
    EXPECT_EQ(agent.told["board/power/0"], "both");
    EXPECT_EQ(agent.told["controller/status/0"], "ok");
}

TEST(SnmpAgentLink, AnAgentThatStopsReadingIsDroppedWithoutHoldingTheLoopAndKeptValuesAreBounded) {
    // The state checks (and the file of the snmp-set values) wait.
    Monitored m("[monitoring]\ncheck.state=60000\n");
    ASSERT_TRUE(m.agent.listen(4096) && m.server.start() && m.agent.accept() && m.control());
    // 4,500 values of 2,000 characters: more than an unread link takes and
    // more than is kept for the agents.
    std::string const value(2000, 'v');
    long slowest = 0;
    for (int i = 0; i < 4500; ++i) {
        auto const sent = Clock::now();
        ASSERT_TRUE(display(m.controller, "snmp-set : { commands { { uniq " + std::to_string(i) +
                                            ", id oid : \"1.3.6.1.4.1.9." + std::to_string(i) +
                                            "\", value \"" + value + "\" } } }"));
        slowest = std::max(slowest, elapsedMs(sent));
    }
    EXPECT_LT(slowest, 500);
    std::string const prefix = "snmpagent.mib 127.0.0.1:" + std::to_string(m.agent.port());
    EXPECT_TRUE(m.server.errHas("SockStream[" + prefix + "]: write timeout"));
    EXPECT_TRUE(m.server.errHas(
        "monitoring: snmp-set: 1 value(s) refused: what is kept for the agents holds "));

    // The file of one kind of `display` item is bounded too.
    for (int id = 1; id <= 1030; ++id)
        ASSERT_TRUE(display(m.controller, "termCounter : { owner router, ownerId " +
                                            std::to_string(id) + ", cnt 1 }"));
    EXPECT_EQ(occurrences(m.file("termCounter"), "\n"), 1024u);
    EXPECT_EQ(occurrences(m.server.err(), "monitoring: display termCounter: 1024 lines kept "
                                          "already (at most 1024 and 262144 bytes); \"owner "
                                          "router ownerId "),
              6u);
}

namespace {

// The text as a monitoring file line and an agent's value stand: n times the
// escape, cut to the bound of a value told to the agents when `cut`.
std::string escapes(std::string const& escape, size_t n, bool cut) {
    std::string text;
    size_t const room = (4096 - std::string(cut_mark).size()) / escape.size();
    for (size_t i = 0; i < (cut ? std::min(n, room) : n); ++i) text += escape;
    return cut ? text + cut_mark : text;
}

}  // namespace

TEST(MonitoringOverlongValues, AValueBeyondTheBoundIsCutAndEveryOtherValueStillReachesTheAgent) {
    Monitored m;
    // 4,096 bytes that are not printable: 16,384 characters once escaped.
    m.put("/var/version", std::string(4096, '\x01'));
    m.put("/var/board-version", "B3\n");
    // 102 configuration entries, more than 5,000 characters joined.
    std::string entries, joined;
    for (int i = 100; i < 202; ++i) {
        std::string const name = "config." + std::to_string(i) + "-" + std::string(40, 'e');
        m.put("/usr/local/etc/" + name, "x");
        entries += name + "\n";
        joined += (joined.empty() ? "" : " ") + name;
    }
    ASSERT_TRUE(m.start() && m.control());

    EXPECT_TRUE(m.agent.waitTold("version/software/0", escapes("\\x01", 4096, true)));
    EXPECT_TRUE(m.agent.waitTold("configuration/version/0", joined.substr(0, 4088) + cut_mark));
    // The other values of the same check.
    for (char const* key : {"version/board/0", "framer/status/3", "version/fpga/0"})
        EXPECT_EQ(m.agent.told.count(key), 1u) << key;
    // The files keep whole values.
    EXPECT_TRUE(m.fileIs("version", escapes("\\x01", 4096, false) + "\n"));
    EXPECT_TRUE(m.fileIs("config-version", entries));
    EXPECT_TRUE(m.server.errHas(
        "monitoring: version/software/0: a value of 16384 characters is cut to 4096 for the "
        "agents\n"));

    // The next version is told; so is each value of an extension board whose
    // version is cut.
    m.put("/var/version", "sw-9\n");
    EXPECT_TRUE(m.agent.waitTold("version/software/0", "sw-9"));
    EXPECT_TRUE(display(m.controller, "board : boardStatus : { position 7, version '" +
                                          std::string(8192, '0') + "'H, status ready, type fxs }"));
    EXPECT_TRUE(m.agent.waitTold("extBoard/status/7", "ready"));
    EXPECT_TRUE(m.agent.waitTold("extBoard/type/7", "fxs"));
    EXPECT_EQ(m.agent.told["extBoard/version/7"], escapes("\\x00", 4096, true));
    EXPECT_TRUE(m.fileIs("board", "position 7 version " + escapes("\\x00", 4096, false) +
                                      " status ready type fxs\n"));
    for (char const* fault : {"encode error", "not kept", "does not encode"})
        EXPECT_EQ(m.server.err().find(fault), std::string::npos) << fault;
    EXPECT_EQ(m.agent.badFrames, 0);
}

TEST(MonitoringDisplay, AChannelIsKeptOnlyWhereItsIndexTellsItApartFromEveryOther) {
    Monitored m;
    ASSERT_TRUE(m.start() && m.control());
    struct Case {
        std::string position, channel;
        // The channel's index for the agents; empty when the item is refused.
        std::string index;
    };
    std::vector<Case> const cases = {
        {"0", "999", "999"},
        {"1", "0", "1000"},
        {"2147482", "999", "2147482999"},
        {"0", "1000", ""},
        {"-1", "5", ""},
        {"2147483", "0", ""},
        {"2147484", "5", ""},
        {"2147483647", "2147483647", ""},
    };
    std::string lines;
    for (Case const& c : cases) {
        std::string const item = "position " + c.position + " channel " + c.channel;
        ASSERT_TRUE(display(m.controller, "board : boardChannelStatus : { position " +
                                              c.position + ", channel " + c.channel +
                                              ", status { callerID '3132'H, calledID '33'H } }"))
            << item;
        if (c.index.empty()) {
            EXPECT_TRUE(m.server.errHas("monitoring: display board: " + item +
                                        ": a channel's index for the agents needs position 0 "
                                        "to 2147482 and channel 0 to 999; refused\n"));
            continue;
        }
        lines += item + " callerID 12 calledID 3\n";
        EXPECT_TRUE(m.agent.waitTold("extBoardChannel/callerID/" + c.index, "12")) << item;
        EXPECT_TRUE(m.agent.waitTold("extBoardChannel/calledID/" + c.index, "3")) << item;
    }
    EXPECT_TRUE(m.fileIs("board", lines)) << m.file("board");
    // Only the three channels kept were told.
    size_t channels = 0;
    for (auto const& [key, value] : m.agent.told) channels += key.rfind("extBoardChannel/", 0) == 0;
    EXPECT_EQ(channels, 6u);
}
