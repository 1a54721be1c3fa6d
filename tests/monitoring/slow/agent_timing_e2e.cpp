// The SNMP agent link's real delays, seen from a test agent: a ping five
// seconds after each message the server sends, the link dropped after thirty
// seconds in which the agent said nothing, and opened again ten seconds after
// it went down, whichever side closed it.

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/loop.h"
#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;

TEST(SnmpAgentTiming, PingsAfterEachMessageDropsASilentAgentAndReopensTenSecondsAfterAClose) {
    AgentServer mib;
    ServerProcess& server = mib.server;
    TestAgent& agent = mib.agent;
    Controller& controller = mib.controller;
    ASSERT_TRUE(mib.start() && mib.control());
    // The first check of the power supplies, two seconds after start, tells
    // the agent; nothing changes after it.
    ASSERT_TRUE(agent.waitTold("board/power/0", "both"));
    ASSERT_TRUE(display(controller, "snmpTrapReceivers : { \"10.0.0.9\" }"));
    MON::Message message;
    ASSERT_TRUE(agent.read(message));
    auto const told = Clock::now();
    ASSERT_TRUE(message.get_pdu().get_command().snmp_trapsink_set_isSelected());
    ASSERT_TRUE(agent.read(message, 7s));
    EXPECT_TRUE(message.get_pdu().get_command().ping_isSelected());
    EXPECT_NEAR(elapsedMs(told), 5000, 300);

    // Pings go on every five seconds; the agent answers the first one late
    // and no other: the silence that drops the link runs from that answer.
    std::this_thread::sleep_for(2500ms);
    MON::Message answer;
    answer.set_pdu().select_response().select_ping().select_success();
    agent.send(answer);
    auto const answered = Clock::now();
    int pings = 1;
    while (agent.read(message, 7s)) pings += message.get_pdu().get_command().ping_isSelected();
    auto const dropped = Clock::now();
    EXPECT_NEAR(elapsedMs(answered), 30000, 500);
    EXPECT_EQ(pings, 7);
    EXPECT_TRUE(server.errHas("snmpagent.mib 127.0.0.1:" + std::to_string(agent.port()) +
                              ": ping timeout !!!\n"));

    // The link comes back and is told what is kept, the board's values
    // too; so again after the agent closes it.
    agent.told.clear();
    ASSERT_TRUE(agent.accept(15s));
    EXPECT_NEAR(elapsedMs(dropped), 10000, 500);
    ASSERT_TRUE(agent.read(message));
    EXPECT_TRUE(message.get_pdu().get_command().snmp_trapsink_set_isSelected());
    EXPECT_TRUE(agent.waitTold("board/power/0", "both", 1s));
    EXPECT_TRUE(agent.waitTold("interface/eth0/0", "up", 1s));
    agent.link.close();
    auto const closed = Clock::now();
    ASSERT_TRUE(agent.accept(15s));
    EXPECT_NEAR(elapsedMs(closed), 10000, 500);
}
