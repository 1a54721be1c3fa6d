// The board tool as a new user meets it: its help and a missing root need no
// server, and a command given in part gets its usage.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

using namespace support;

TEST(BoardToolE2E, ItsHelpAndAMissingRootNeedNoServer) {
    int status = -1;
    std::string const help = boardTool("", "--help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(help.rfind("Usage: mobrel-board [COMMAND [ARGUMENT]...]\n", 0), 0u) << help;
    EXPECT_NE(help.find("`mobrel-board help` lists the board's commands"), std::string::npos);
    EXPECT_EQ(boardTool("", "devices 2>&1", &status),
              "mobrel-board: MOBREL_ROOT is not set: set it to the root the server runs under\n");
    EXPECT_EQ(status, 2);
}

TEST(BoardToolE2E, ACommandGivenInPartGetsItsUsageAndABadTrunkStateTheNames) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    struct {
        char const* command;
        std::string reply;
    } const cases[] = {
        {"absent",
         "error: usage: absent DEVICE | present DEVICE          remove or restore a "
         "device (hal, mcc/ctl, /dev/hal)\n"},
        {"fail hal",
         "error: usage:\n"
         "fail DEVICE REQUEST|open|read|write|* [ERRNO [COUNT]]\n"
         "                                        fail the next COUNT (default: every) such "
         "requests\n"
         "                                        with ERRNO (default EIO)\n"
         "fail clear                              fail nothing any more\n"},
        {"mcc count 1",
         "error: usage: mcc count DATA BRI TRANS                the MCC's channels "
         "of each kind\n"},
        {"e1 1 state bogus",
         "error: e1 state is a number or one of normal lossBF lossCarrier ais rai unknown "
         "disabled\n"},
        {"frobnicate", "error: unknown command \"frobnicate\" (try help)\n"},
    };
    for (auto const& c : cases) {
        int status = -1;
        EXPECT_EQ(boardTool(server.root(), c.command, &status), c.reply) << c.command;
        EXPECT_EQ(status, 1) << c.command;
    }
}
