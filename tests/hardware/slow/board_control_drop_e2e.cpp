// A client of the board's control socket that reads none of its reply is
// dropped after two seconds, and the server goes on.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

using namespace support;
using namespace std::chrono_literals;

TEST(BoardControlDropE2E, AClientThatReadsNothingIsDroppedAndTheServerGoesOn) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    std::string request;
    for (int i = 0; i < 200; ++i) request += "log\n";
    Fd const client = sendToBoard(server.root(), request);
    ASSERT_TRUE(client);
    EXPECT_TRUE(server.errHas(
        "simulated board: control socket client took none of its reply for 2000 ms: dropped\n",
        5s));
    // What the socket held when it was dropped, far from the whole reply.
    EXPECT_LT(readToEnd(client, 2s).size(), size_t(4 << 20));
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    EXPECT_TRUE(controller.pingAnswered(1));
    EXPECT_EQ(boardTool(server.root(), "clock").compare(0, 13, "clock source "), 0);
}
