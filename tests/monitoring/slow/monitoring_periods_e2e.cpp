// The monitoring checks at their real periods, seen in the monitoring files
// and the traces: the board's versions one second after start and then only
// every minute, the power supplies every two seconds, the controller every
// five.

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "tests/support/board_tool.h"
#include "tests/support/loop.h"
#include "tests/support/test_agent.h"

using namespace support;
using namespace std::chrono_literals;

TEST(MonitoringPeriods, EachCheckRunsFirstAndAgainAtItsOwnPeriod) {
    ServerProcess server;
    writeConfig(server, "[traces]\nmonitoring.internal=yes\n");
    std::ofstream(server.root() + "/var/version") << "7.1\n";
    std::string const files = server.root() + "/var/monitoring/";
    auto const started = Clock::now();
    ASSERT_TRUE(server.start());
    auto const firstSeen = [&](std::string const& name) {
        EXPECT_TRUE(waitFor([&] { return fileExists(files + name); }, 8s)) << name;
        return elapsedMs(started);
    };
    EXPECT_NEAR(firstSeen("version"), 1000, 400);
    EXPECT_NEAR(firstSeen("power"), 2000, 400);
    EXPECT_EQ(readFile(files + "power"), "both\n");

    // A change of the power supplies shows within the next two seconds.
    EXPECT_EQ(boardTool(server.root(), "panel power standby"), "");
    auto const changed = Clock::now();
    EXPECT_TRUE(waitFor([&] { return readFile(files + "power") == "standby\n"; }, 3s));
    EXPECT_LE(elapsedMs(changed), 2300);
    EXPECT_NEAR(firstSeen("controller"), 5000, 400);
    EXPECT_EQ(readFile(files + "controller"), "notrun\n");

    // Five and a half seconds in: the versions were read once, the power
    // supplies twice.
    std::this_thread::sleep_for(std::chrono::milliseconds(5500 - elapsedMs(started)));
    std::string const err = server.err();
    EXPECT_EQ(occurrences(err, "monitoring: read /var/version: 7.1\n"), 1u);
    EXPECT_EQ(occurrences(err, "monitoring: read HAL_POWER_STATUS: "), 2u);
}
