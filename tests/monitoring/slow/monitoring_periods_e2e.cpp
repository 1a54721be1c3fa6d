// The monitoring checks at their real periods, seen in the monitoring files
// and the traces: the board's versions one second after start and then only
// every minute, the power supplies every two seconds, the controller every
// five. A loaded machine runs every check late, never early: the test bounds
// each first check from below only, and reads the periods from the order in
// which the server's traces say it ran the checks.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/board_tool.h"
#include "tests/support/loop.h"
#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string const versionRead = "monitoring: read /var/version: 7.1";
std::string const powerRead = "monitoring: read HAL_POWER_STATUS: ";
std::string const controllerWritten = "monitoring: wrote /var/monitoring/controller";

// The checks in the order the server ran them, up to the given check of the
// power supplies: V the versions, P the power supplies, C the controller's
// file written.
std::string checks(std::string const& err, size_t powerChecks) {
    std::istringstream lines(err);
    std::string order;
    for (std::string line; powerChecks > 0 && std::getline(lines, line);) {
        if (line == versionRead) order += 'V';
        if (line == controllerWritten) order += 'C';
        if (line.rfind(powerRead, 0) != 0) continue;
        order += 'P';
        --powerChecks;
    }
    return order;
}

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
    // the versions were read once, before the first; the controller was
    // checked after the first and before the third, since each check is due
    // again its own period after it ran.
    ASSERT_TRUE(waitFor([&] { return occurrences(server.err(), powerRead) >= 3; }, 60s));
    std::string const order = checks(server.err(), 3);
    EXPECT_TRUE(order == "VPCPP" || order == "VPPCP") << order;

    // Each check reads the board afresh.
    EXPECT_EQ(boardTool(server.root(), "panel power standby"), "");
    EXPECT_TRUE(waitFor([&] { return readFile(files + "power") == "standby\n"; }, 30s));
}
