// The real two-minute heartbeat: a controller that falls silent after a
// command is closed by the server. Kept in a binary of its own so that the
// suite runs it beside the other tests.

#include <gtest/gtest.h>

#include "tests/support/harness.h"

using namespace support;
using namespace std::chrono_literals;

TEST(ServerHeartbeat, ClosesAControllerSilentForTwoMinutesAfterACommand) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    c.sendMessage(ping(1));
    LGCP::Message answer;
    ASSERT_TRUE(c.readAnswer(answer));
    auto const start = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.closedByPeer(150s));
    auto const silent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(silent, 119s);
    EXPECT_LE(silent, 125s);
    EXPECT_TRUE(server.errHas("heartbeat timeout!!!\n"));
    // The server goes on serving the next controller.
    Controller next;
    ASSERT_TRUE(next.connect(server.port()));
    next.sendMessage(ping(2));
    ASSERT_TRUE(next.readAnswer(answer));
    EXPECT_EQ(answer.get_seq().getValue(), 2);
}
