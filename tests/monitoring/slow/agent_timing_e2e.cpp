// The SNMP agent link's real delays, seen from a test agent: a ping five
// seconds after each message the server sends, the link dropped after thirty
// seconds in which the agent said nothing, and opened again ten seconds after
// it went down.

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point since) {
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

}  // namespace

TEST(SnmpAgentTiming, PingsFiveSecondsAfterEachMessageAndDropsAnAgentSilentForThirtySeconds) {
    ServerProcess server;
    TestAgent agent;
    writeConfig(server, agent.config("mib"));
    ASSERT_TRUE(agent.listen() && server.start() && agent.accept());
    auto const up = Clock::now();
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(display(controller, "snmpTrapReceivers : { \"10.0.0.9\" }"));
    MON::Message message;
    ASSERT_TRUE(agent.read(message));
    auto const told = Clock::now();
    ASSERT_TRUE(message.get_pdu().get_command().snmp_trapsink_set_isSelected());
    ASSERT_TRUE(agent.read(message, 7s));
    EXPECT_TRUE(message.get_pdu().get_command().ping_isSelected());
    EXPECT_NEAR(msSince(told), 5000, 300);

    // Pings go on every five seconds; the agent answers none of them.
    int pings = 1;
    while (agent.read(message, 7s)) pings += message.get_pdu().get_command().ping_isSelected();
    auto const dropped = Clock::now();
    EXPECT_NEAR(msSince(up), 30000, 500);
    EXPECT_EQ(pings, 5);
    EXPECT_TRUE(server.errHas("snmpagent.mib 127.0.0.1:" + std::to_string(agent.port()) +
                              ": ping timeout !!!\n"));

    // The link comes back and is told what is kept.
    ASSERT_TRUE(agent.accept(15s));
    EXPECT_NEAR(msSince(dropped), 10000, 500);
    ASSERT_TRUE(agent.read(message));
    EXPECT_TRUE(message.get_pdu().get_command().snmp_trapsink_set_isSelected());
}

TEST(SnmpAgentTiming, OpensTheLinkAgainTenSecondsAfterTheAgentClosesIt) {
    ServerProcess server;
    TestAgent agent;
    writeConfig(server, agent.config("mib"));
    ASSERT_TRUE(agent.listen() && server.start() && agent.accept());
    agent.link.close();
    auto const closed = Clock::now();
    ASSERT_TRUE(agent.accept(15s));
    EXPECT_NEAR(msSince(closed), 10000, 500);
}
