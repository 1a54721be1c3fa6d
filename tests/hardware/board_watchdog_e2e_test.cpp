// The server program on the simulated board as a person at script/server
// meets it: the main loop keeps the board's watchdog alive (a description
// that marks it absent gives the one line of a board without it), and the
// board tool prints an MCC line's socket path under the root.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/process.h"
#include "tests/support/slot_session.h"

using namespace support;
using namespace std::chrono_literals;

TEST(BoardWatchdogE2E, TheLoopKeepsTheWatchdogAliveUnlessTheBoardHasNone) {
    {
        Connected s("absent misc/gw-wd\n");
        EXPECT_TRUE(s.controller.pingAnswered(1));
        EXPECT_TRUE(s.server.errHas("Mux: fail to open watchdog: No such file or directory"));
        EXPECT_EQ(boardTool(s.server.root(), "watchdog"),
                  "/dev/misc/gw-wd not started, starts 0, pings 0\n");
    }
    Connected s;
    EXPECT_TRUE(s.controller.pingAnswered(1));
    std::string const root = s.server.root();
    // Pinged at least once a second from the first loop pass on, also after
    // the device was taken away and given back meanwhile.
    EXPECT_EQ(boardTool(root, "absent misc/gw-wd"), "/dev/misc/gw-wd absent\n");
    EXPECT_EQ(boardTool(root, "present misc/gw-wd"), "/dev/misc/gw-wd present\n");
    std::string state;
    EXPECT_TRUE(waitFor(
        [&] {
            state = boardTool(root, "watchdog");
            return state.find("started, starts 1, pings ") != std::string::npos &&
                   state.find(", pings 0\n") == std::string::npos &&
                   state.find(", pings 1\n") == std::string::npos;
        },
        10s))
        << state;
    EXPECT_EQ(state.compare(0, 24, "/dev/misc/gw-wd started,"), 0) << state;
    EXPECT_EQ(s.server.err().find("watchdog"), std::string::npos) << s.server.err();
}

TEST(BoardToolE2E, AnMccLinePrintsItsSocketPathUnderTheRoot) {
    Connected s;
    s.run(answered(R"(
        + { seq 1, slot 1, pdu command : create : mcc : { type data, mode standard } }
        $ mcc line 1024
        = )" + s.server.root() + R"(/simboard/mcc-1024.sock
    )"));
}
