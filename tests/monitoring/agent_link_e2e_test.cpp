// The server program's links to SNMP agents, seen from test agents on
// 127.0.0.1: what reaches them of the controller's `display` items, what an
// agent is told when its link comes up, and what the server makes of what an
// agent sends.

#include <gtest/gtest.h>

#include "tests/support/board_tool.h"
#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string const trapReceivers = "snmpTrapReceivers : { \"10.0.0.9\", \"traps:1162\" }";
std::string const trapsinkSet = TestAgent::notation(
    "{ pdu command : snmp-trapsink-set : "
    "{ trapsinks { { host \"10.0.0.9\" }, { host \"traps:1162\" } } } }");

}  // namespace

TEST(SnmpAgentLink, ForwardsTrapReceiversAndSnmpSetToEveryConnectedAgentAndNothingElse) {
    ServerProcess server;
    TestAgent first, second, nameless;
    ASSERT_TRUE(first.listen() && second.listen() && nameless.listen());
    // An incomplete subsection makes no link.
    writeConfig(server, first.config("first") + "[snmpagent]\nhost=127.0.0.1:" +
                            std::to_string(nameless.port()) + "\n" + second.config("second"));
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(first.accept() && second.accept());
    EXPECT_TRUE(server.errHas("snmpagent: required key \"name\" not present, line 4\n"));
    EXPECT_FALSE(nameless.accept(300ms));
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    // Items without a MON command are answered and reach no agent.
    for (char const* item :
         {"framer : { e1 2, info line : TRUE }", "termCounter : { owner router, cnt 4 }",
          "controller : { host { iaddr \"10.0.0.2\", port 20001 }, status active }",
          "board : boardStatus : { position 1, version '01'H, status ready, type fxs }",
          trapReceivers.c_str(),
          "snmp-set : { commands { { uniq 7, id name : "
          "{ section \"alarm\", name \"level\", index 2 }, value \"3\" } } }"})
        EXPECT_TRUE(display(controller, item)) << item;
    for (TestAgent* agent : {&first, &second}) {
        EXPECT_EQ(agent->readText(), trapsinkSet);
        EXPECT_EQ(agent->readText(),
                  TestAgent::notation("{ pdu command : snmp-set : { commands { { uniq 7, id name "
                                      ": { section \"alarm\", name \"level\", index 2 }, value "
                                      "\"3\" } } } }"));
    }
}

TEST(SnmpAgentLink, AnAgentWhoseLinkComesUpIsToldWhatIsKeptAndKeptThroughWhatItCannotTake) {
    ServerProcess server;
    TestAgent agent;
    writeConfig(server, agent.config("late"));
    ASSERT_TRUE(server.start());
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    // No agent is there: the items are answered all the same.
    for (std::string const& item :
         {trapReceivers,
          std::string("snmp-set : { commands { { uniq 1, id oid : \"1.3.6.1.4.1.9.1\", value "
                      "\"old\" }, { uniq 2, id oid : \"1.3.6.1.4.1.9.2\", value \"two\" } } }"),
          std::string("snmp-set : { commands { { uniq 3, id oid : \"1.3.6.1.4.1.9.1\", value "
                      "\"new\" } } }")})
        EXPECT_TRUE(display(controller, item)) << item;

    // The connector tries again every second at first.
    ASSERT_TRUE(agent.listen());
    ASSERT_TRUE(agent.accept(3s));
    EXPECT_EQ(agent.readText(), trapsinkSet);
    EXPECT_EQ(agent.readText(),
              TestAgent::notation("{ pdu command : snmp-set : { commands { "
                                  "{ uniq 3, id oid : \"1.3.6.1.4.1.9.1\", value \"new\" }, "
                                  "{ uniq 2, id oid : \"1.3.6.1.4.1.9.2\", value \"two\" } } } }"));

    std::string const prefix = "snmpagent.late 127.0.0.1:" + std::to_string(agent.port());
    agent.link.send(frame(hex("FF FF")));
    EXPECT_TRUE(server.errHas(prefix + ": receive : decode error!\n msg: FF FF \n"));
    // Responses and signals are taken in silence; a command is refused.
    MON::Message response, signal, command;
    response.set_pdu().select_response().select_ping().select_success();
    signal.set_pdu().select_signal().select_snmp_set().set_value(std::string("1"));
    command.set_pdu().select_command().select_ping();
    for (MON::Message const* m : {&response, &signal, &command}) agent.send(*m);
    EXPECT_TRUE(server.errHas(prefix + ": receive : command from the agent dropped\n"));
    EXPECT_EQ(server.err().find("decode error!", server.err().find("FF FF")), std::string::npos);
    EXPECT_TRUE(display(controller, trapReceivers));
    EXPECT_EQ(agent.readText(), trapsinkSet);
}

TEST(SnmpAgentLink, AnAgentThatFloodsGarbageLeavesOneShortLineOfEachKindAndIsServedOn) {
    AgentServer noisy("noisy");
    ServerProcess& server = noisy.server;
    TestAgent& agent = noisy.agent;
    ASSERT_TRUE(noisy.start() && noisy.control());
    // 300 frames of 1,000 bytes that do not decode, 300 commands.
    Bytes garbage(1000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(0xC0 + i % 16);
    MON::Message command;
    command.set_pdu().select_command().select_ping();
    for (int i = 0; i < 300; ++i) {
        agent.link.send(frame(garbage));
        agent.send(command);
    }
    // The link still carries what the controller gives.
    EXPECT_TRUE(display(noisy.controller, trapReceivers));
    EXPECT_EQ(agent.readText(), trapsinkSet);

    std::string const prefix = "snmpagent.noisy 127.0.0.1:" + std::to_string(agent.port());
    std::string dump;
    for (size_t i = 0; i < 64; ++i) dump += "C" + std::string(1, "0123456789ABCDEF"[i % 16]) + " ";
    ASSERT_TRUE(server.errHas(prefix + ": receive : command from the agent dropped\n"));
    std::string const err = server.err();
    EXPECT_EQ(occurrences(err, prefix + ": receive : decode error!\n msg: " + dump +
                                   "... (1000 bytes)\n"),
              1u);
    EXPECT_EQ(occurrences(err, " msg: "), 1u);
    EXPECT_EQ(occurrences(err, prefix + ": receive : command from the agent dropped\n"), 1u);
}
