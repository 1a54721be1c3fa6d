// The server's time-outs as a controller meets them, at their real length:
// a frame left incomplete is dropped after 3 seconds, and a controller that
// falls silent after a command is closed after 2 minutes.

#include <gtest/gtest.h>

#include "tests/support/harness.h"

using namespace support;
using namespace std::chrono_literals;

TEST(ServerTpkt, APartialFrameIsDroppedAfterThreeSeconds) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    Bytes const whole = frame(encode(ping(5)));
    c.send(Bytes(whole.begin(), whole.begin() + 5));
    auto const start = std::chrono::steady_clock::now();
    ASSERT_TRUE(server.errHas(" TPKT packet timeout.\n", 6s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2900ms);
    // The rest of the dropped frame is garbage now; a new frame is served.
    EXPECT_TRUE(c.pingAnswered(6));
}

TEST(ServerHeartbeat, ClosesAControllerSilentForTwoMinutesAfterACommand) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    EXPECT_TRUE(c.pingAnswered(1));
    auto const start = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.closedByPeer(150s));
    auto const silent = std::chrono::steady_clock::now() - start;
    EXPECT_GE(silent, 119s);
    EXPECT_LE(silent, 125s);
    EXPECT_TRUE(server.errHas("heartbeat timeout!!!\n"));
    // The server goes on serving the next controller.
    Controller next;
    ASSERT_TRUE(next.connect(server.port()));
    EXPECT_TRUE(next.pingAnswered(2));
}
