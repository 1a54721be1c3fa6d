// Servers on one MOBREL_ROOT: one started while the board's control socket
// answers does not start; one that stops removes only the socket it made.

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
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
