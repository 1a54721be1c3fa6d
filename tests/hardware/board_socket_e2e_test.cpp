// The simulated board's control socket as servers and clients meet it: a
// server started while the board's control socket answers does not start,
// one that stops removes only the socket it made; a request whose replies
// are huge, from a client that does not read them, gets a bounded reply and
// the server serves everyone else meanwhile.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "tests/support/loop.h"
#include "tests/support/process.h"

using namespace support;
using namespace std::chrono_literals;

TEST(BoardRootE2E, TheBoardStaysWithTheServerThatMadeItsControlSocket) {
    ServerProcess first;
    ASSERT_TRUE(first.start());
    ASSERT_EQ(boardTool(first.root(), "absent mixer"), "/dev/mixer absent\n");
    std::string const root = first.root();
    std::string const control = root + "/simboard/control.sock";
    EXPECT_EQ(waitExit(startServerOn(root, freePort(), "second"), 10s), 2);
    EXPECT_EQ(readFile(root + "/second.err"),
              "simulated board: another server is using the board of this MOBREL_ROOT (" + control +
                  " answers); not starting\n");
    EXPECT_NE(boardTool(root, "devices").find("/dev/mixer absent"), std::string::npos);

    // The first's socket gone, a third server makes its own, which the first
    // leaves in place when it stops.
    ASSERT_EQ(::unlink(control.c_str()), 0);
    pid_t const third = startServerOn(root, freePort(), "third");
    ASSERT_TRUE(waitFor(
        [&] {
            return readFile(root + "/third.out").find("Starting server [") != std::string::npos;
        },
        10s));
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(boardTool(root, "clock").compare(0, 13, "clock source "), 0);
    signalProcess(third, SIGKILL);
    waitExit(third, 10s);
}

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
    static std::regex const left_out(
        "\nerror: reply over 8388608 bytes, [0-9]+ line\\(s\\) not run\n$");
    EXPECT_TRUE(std::regex_search(reply.substr(reply.size() - 100), left_out));
}
