// The clients of the board's control socket: one that reads its reply a
// little at a time gets all of it, however long that takes; four are served
// at once and one more is refused with a line.

#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "tests/support/loop.h"
#include "tests/support/process.h"
#include "tests/support/sockets.h"

using namespace support;
using namespace std::chrono_literals;

TEST(BoardControlClientsE2E, AClientThatReadsItsReplySlowlyButSteadilyGetsAllOfIt) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    std::string const help = boardTool(server.root(), "help");
    ASSERT_GT(help.size(), 100u);
    // A reply of some 300 KB, far more than the socket holds.
    size_t const copies = 300000 / help.size() + 1;
    std::string request, expected;
    for (size_t i = 0; i < copies; ++i) request += "help\n", expected += help;
    Fd const client = sendToBoard(server.root(), request);
    ASSERT_TRUE(client);

    // 1 KB every 125 ms for six seconds, then the rest as fast as it comes.
    std::string reply;
    char buffer[1024];
    for (auto const slowUntil = Clock::now() + 6s; Clock::now() < slowUntil;) {
        pollfd entry{client.lowlevel_fd(), POLLIN, 0};
        ASSERT_EQ(::poll(&entry, 1, 10000), 1);
        ssize_t const got = ::recv(client.lowlevel_fd(), buffer, sizeof(buffer), 0);
        ASSERT_GT(got, 0) << "dropped after " << reply.size() << " bytes";
        reply.append(buffer, size_t(got));
        std::this_thread::sleep_for(125ms);
    }
    reply += readToEnd(client, 30s);
    EXPECT_EQ(reply.size(), expected.size());
    EXPECT_TRUE(reply == expected);
    EXPECT_EQ(server.err().find("dropped"), std::string::npos) << server.err();
}

TEST(BoardControlClientsE2E, FourClientsAreServedAtOnceAndOneMoreIsRefusedWithALine) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    // Four clients that send their request slowly, an empty line at a time.
    std::vector<Fd> slow;
    for (int i = 0; i < 4; ++i) {
        slow.push_back(connectUnix(server.root() + "/simboard/control.sock"));
        ASSERT_TRUE(slow.back());
    }
    std::atomic<bool> sending{true};
    std::thread feeder([&] {
        while (sending) {
            for (Fd const& fd : slow) ::send(fd.lowlevel_fd(), "\n", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(300ms);
        }
    });
    int status = 0;
    EXPECT_EQ(boardTool(server.root(), "clock", &status),
              "error: the board has 4 clients served at once already; try again\n");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(server.errHas(
        "simulated board: control socket client refused: 4 clients served at once already\n"));
    // Once they send nothing more they are dropped, and the board serves
    // again.
    sending = false;
    feeder.join();
    EXPECT_TRUE(waitFor(
        [&] {
            return occurrences(server.err(), "simulated board: control socket client sent "
                                             "nothing of its request for 2000 ms: dropped\n") == 4;
        },
        10s))
        << server.err();
    EXPECT_EQ(boardTool(server.root(), "clock").compare(0, 13, "clock source "), 0);
}
