// The monitoring checks at their real periods, seen in the monitoring files
// and the traces: the board's versions one second after start and then only
// every minute, the power supplies every two seconds, the controller every
// five. A loaded machine runs every check late, never early: the test bounds
// each first check from below only, and counts the checks in the server's
// traces up to a later one.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/board_tool.h"
#include "tests/support/loop.h"
#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string const versionRead = "monitoring: read /var/version: 7.1";
std::string const powerRead = "monitoring: read HAL_POWER_STATUS: ";
std::string const controllerWritten = "monitoring: wrote /var/monitoring/controller";

}  // namespace

TEST(MonitoringPeriods, EachCheckRunsFirstAndAgainAtItsOwnPeriod) {
    ServerProcess server;
    writeConfig(server, "[traces]\nmonitoring.internal=yes\n");
    std::ofstream(server.root() + "/var/version") << "7.1\n";
    std::string const files = server.root() + "/var/monitoring/";
    auto const started = Clock::now();
    ASSERT_TRUE(server.start());
    // No check runs before its first period is over (a timer of the loop
    // may fire within a millisecond of it).
    auto const firstSeen = [&](std::string const& trace) {
        EXPECT_TRUE(server.errHas(trace, 30s)) << trace;
        return elapsedMs(started);
    };
    EXPECT_GE(firstSeen(versionRead + "\n"), 999);
    EXPECT_GE(firstSeen(powerRead), 1999);
    EXPECT_GE(firstSeen(controllerWritten + "\n"), 4999);
    EXPECT_EQ(readFile(files + "version"), "7.1\n");
    EXPECT_EQ(readFile(files + "power"), "both\n");
    EXPECT_EQ(readFile(files + "controller"), "notrun\n");

    // By the third check of the power supplies (six seconds at the least)
    // the versions were read once and the controller checked once, since
    // each check is due again its own period after it ran.
    ASSERT_TRUE(waitFor([&] { return occurrences(server.err(), powerRead) >= 3; }, 60s));
    std::string const err = server.err();
    size_t third = 0;
    for (int i = 0; i < 3; ++i) third = err.find(powerRead, third) + 1;
    EXPECT_EQ(occurrences(err.substr(0, third), versionRead + "\n"), 1u) << err;
    EXPECT_EQ(occurrences(err.substr(0, third), controllerWritten + "\n"), 1u) << err;

    // Each check reads the board afresh.
    EXPECT_EQ(boardTool(server.root(), "panel power standby"), "");
    EXPECT_TRUE(waitFor([&] { return readFile(files + "power") == "standby\n"; }, 30s));
}
