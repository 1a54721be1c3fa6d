// The once-a-second trunk reports of the server program, waited out in real
// time: the E1 rounds, which go on from the first connection until exit, and
// the BRI framer polls, which run only while a controller is connected.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// The next reports, those of the E1 trunks first (the two rounds fall due
// together, in either order).
std::string reports(Controller& c, int count) {
    std::string const all = receive(c, count, 3s) + "; ";
    std::string e1, bri;
    for (size_t at = 0, end; (end = all.find("; ", at)) != std::string::npos; at = end + 2)
        (all.compare(at, 3, "bri") == 0 ? bri : e1) += all.substr(at, end + 2 - at);
    return (e1 + bri).substr(0, all.size() - 2);
}

}  // namespace

TEST(BoardRoundsE2E, E1AndBriReportsComeEverySecondAndBriOnlyWhileConnected) {
    ServerProcess server;
    describeBoard(server.root(),
                  "e1 2 state ais\nspi 0 51 0xE5\nspi 1 51 0x85\nspi 2 51 0x45\n"
                  "spi 3 51 0x01\nspi 4 51 0x04\nspi 5 51 0xE5\nspi 6 51 0xE5\n");
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    auto const connected = std::chrono::steady_clock::now();
    ASSERT_NE(receive(c, 5), "");  // the E1 reports and the power state
    // Framer 0 reports a slip after framer 7 (bit clear), framer 5 after
    // framer 4; framer 6 follows a slip and does not.
    std::string const e1 =
        "e1 0 normal 0 0 0 0 0; e1 1 normal 0 0 0 0 0; e1 2 ais 0 0 0 0 0; "
        "e1 3 normal 0 0 0 0 0; ";
    std::string const bri =
        "bri 0 normal 1 0 0 0 0; bri 1 rai 0 0 0 0 0; bri 2 ais 0 0 0 0 0; "
        "bri 3 lossBF 0 0 0 0 0; bri 4 lossCarrier 0 0 0 0 0; "
        "bri 5 normal 1 0 0 0 0; bri 6 normal 0 0 0 0 0; bri 7 normal 0 0 0 0 0";
    EXPECT_EQ(reports(c, 12), e1 + bri);
    EXPECT_EQ(reports(c, 12), e1 + bri);
    EXPECT_GE(std::chrono::steady_clock::now() - connected, 1900ms);

    // Once the controller has left, two E1 rounds (failing on the board, so
    // the server says when) pass with no framer read. The board is left
    // alone meanwhile: each visit is a loop pass whose switch refresh fills
    // the request log.
    c.close();
    ASSERT_TRUE(server.errHas(" closed.\n"));
    EXPECT_EQ(boardTool(server.root(), "log clear"), "");
    EXPECT_EQ(boardTool(server.root(), "fail maintenance MAINT_E1_STATUS"), "");
    std::string const failed = "E1: synchronization status read fail, trunk = 3";
    EXPECT_TRUE(waitFor([&] { return occurrences(server.err(), failed) == 2; }, 5s));
    EXPECT_EQ(boardTool(server.root(), "log hal HAL_SPI_READ"), "");
}

TEST(BoardRoundsE2E, ABoardWithoutSpiIsToldOnceAndSendsNoBriReports) {
    ServerProcess server;
    describeBoard(server.root(), "spi absent\n");
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    ASSERT_NE(receive(c, 5), "");
    // Two E1 rounds, some two seconds, and nothing between them.
    std::string const round =
        "e1 0 normal 0 0 0 0 0; e1 1 normal 0 0 0 0 0; "
        "e1 2 normal 0 0 0 0 0; e1 3 normal 0 0 0 0 0";
    EXPECT_EQ(receive(c, 8, 3s), round + "; " + round);
    EXPECT_EQ(boardLog(server.root(), "hal HAL_SPI_WRITE"),
              "hal HAL_SPI_WRITE 0 50 128 -> ENODEV\n");
    EXPECT_EQ(boardLog(server.root(), "hal HAL_SPI_READ"), "");
    EXPECT_EQ(occurrences(server.err(), "spi: hal without spi\n"), 1u);
}
