// The simulated board's control socket under a request whose replies are
// huge and a client that does not read them: the reply is bounded, and the
// server serves everyone else meanwhile.

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "tests/support/loop.h"

using namespace support;
using namespace std::chrono_literals;

TEST(BoardControlE2E, AHugeReplyIsBoundedAndWaitsForItsReaderWithoutHoldingTheLoop) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));

    // 2,000 copies of the whole request log, asked in 8 KB.
    std::string request;
    for (int i = 0; i < 2000; ++i) request += "log\n";
    Fd const client = sendToBoard(server.root(), request);
    ASSERT_TRUE(client);
    auto const asked = Clock::now();
    EXPECT_TRUE(controller.pingAnswered(1));
    EXPECT_EQ(boardTool(server.root(), "clock").compare(0, 13, "clock source "), 0);
    EXPECT_LT(Clock::now() - asked, 1s) << "the loop waited for the client";
    EXPECT_LT(peakMemoryKb(server.pid()), 256 * 1024);

    std::string const reply = readToEnd(client, 10s);
    size_t const bound = 8 << 20;
    EXPECT_GE(reply.size(), bound);
    EXPECT_LT(reply.size(), bound + (4 << 20));
    EXPECT_NE(reply.find(" HAL_MUX_DISABLE 8192\n"), std::string::npos);
    static std::regex const left_out("\nerror: reply over 8388608 bytes, [0-9]+ line\\(s\\) not run\n$");
    EXPECT_TRUE(std::regex_search(reply.substr(reply.size() - 100), left_out));
}
