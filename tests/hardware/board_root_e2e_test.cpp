// Two servers on one MOBREL_ROOT: the second finds the first's board live
// and does not start; a server that stops removes only the control socket it
// made.

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "tests/support/process.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

bool fileHas(std::string const& path, std::string const& text) {
    return waitFor([&] { return readFile(path).find(text) != std::string::npos; }, 10s);
}

}  // namespace

TEST(BoardRootE2E, ASecondServerOnTheRootRefusesToStartAndLeavesTheFirstsBoardAlone) {
    ServerProcess first;
    ASSERT_TRUE(first.start());
    ASSERT_EQ(boardTool(first.root(), "absent mixer"), "/dev/mixer absent\n");
    pid_t const second = startServerOn(first.root(), freePort(), "second");
    EXPECT_EQ(waitExit(second, 10s), 2);
    EXPECT_TRUE(fileHas(first.root() + "/second.err",
                        "simulated board: another server is using the board of this MOBREL_ROOT (" +
                            first.root() + "/simboard/control.sock answers); not starting\n"));
    // The first's board is as it left it, and its tool reaches it.
    EXPECT_NE(boardTool(first.root(), "devices").find("/dev/mixer absent"), std::string::npos);
    Controller controller;
    ASSERT_TRUE(controller.connect(first.port()));
    EXPECT_TRUE(controller.pingAnswered(1));
}

TEST(BoardRootE2E, AServerThatStopsRemovesOnlyTheControlSocketItMade) {
    ServerProcess first;
    ASSERT_TRUE(first.start());
    std::string const control = first.root() + "/simboard/control.sock";
    // The first's socket is gone; a second server makes its own.
    ASSERT_EQ(::unlink(control.c_str()), 0);
    pid_t const second = startServerOn(first.root(), freePort(), "second");
    ASSERT_TRUE(fileHas(first.root() + "/second.out", "Starting server ["));
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
    EXPECT_EQ(boardTool(first.root(), "clock").compare(0, 13, "clock source "), 0)
        << "the second server's board lost its socket";
    ::kill(second, SIGKILL);
    waitExit(second, 10s);
}
