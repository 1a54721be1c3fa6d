// The TDM switch against the simulated board: the bus outputs it switches
// off when it opens, each operation as the board sees it, the refresh, and
// what it does when the device fails or is missing.

#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/board.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"
#include "hardware/hw_mux.h"

using support::board;

namespace {

support::TempRoot const root;

// The outputs of the switch requests in the log, in order ("8192 8193 ...").
std::vector<unsigned> logged(std::string const& request) {
    std::istringstream log(board("log hal " + request));
    std::vector<unsigned> outputs;
    for (std::string line; std::getline(log, line);) {
        std::istringstream words(line);
        std::string name, what;
        unsigned output = 0;
        if (words >> name >> what >> output) outputs.push_back(output);
    }
    return outputs;
}

std::vector<unsigned> range(unsigned first, unsigned count) {
    std::vector<unsigned> outputs;
    for (unsigned i = 0; i < count; ++i) outputs.push_back(first + i);
    return outputs;
}

}  // namespace

TEST(HwMux, EachOperationReachesTheBoardAndTheRefreshLeavesConnectedAndWrittenOutputs) {
    HwMux mux;
    struct Step {
        std::function<bool()> call;
        int output;
        char const* board_shows;
    } const steps[] = {
        {[&] { return mux.Connect(5, 8200); }, 8200, "8200 <- 5\n"},
        {[&] { return mux.Disconnect(8300); }, 8300, "8300 = 0xd5\n"},
        {[&] { return mux.Write(8301, 0x3c); }, 8301, "8301 = 0x3c\n"},
        {[&] { return mux.Connect(8200, 100); }, 100, "100 <- 8200\n"},
        {[&] { return mux.Disable(8301); }, 8301, "8301 off\n"},
        {[&] { return mux.Connect(7, 10239); }, 10239, "10239 <- 7\n"},
        {[&] { return mux.Write(8200, 0x10); }, 8200, "8200 = 0x10\n"},
    };
    for (Step const& s : steps) {
        EXPECT_TRUE(s.call());
        EXPECT_EQ(board("mux " + std::to_string(s.output)), s.board_shows);
    }
    // A written byte reads back; a stuck bit shows.
    EXPECT_EQ(mux.Read(8200), 0x10);
    board("mux stuck 8200 0x04");
    EXPECT_EQ(mux.Read(8200), 0x14);

    // Sixteen runs of the refresh sweep the table once, from the second
    // output round to the first; the output switched off again is among them.
    board("log clear");
    for (int run = 0; run < 16; ++run) mux.OnDPC();
    std::vector<unsigned> expected;
    for (unsigned out : range(8193, 2047))
        if (out != 8200 && out != 8300 && out != 10239) expected.push_back(out);
    expected.push_back(8192);
    EXPECT_EQ(logged("HAL_MUX_DISABLE"), expected);
}

TEST(HwMux, FailuresAreTheResultAndALine) {
    HwMux mux;
    board("mux stuck 9000 0");
    support::StreamCapture log(std::clog);
    struct Case {
        char const* request;
        std::function<bool()> call;
        char const* line;
    } const cases[] = {
        {"HAL_MUX_CONNECT", [&] { return mux.Connect(5, 8200); },
         "hwMux: connect 5 -> 8200 failed: Input/output error\n"},
        {"HAL_MUX_WRITE", [&] { return mux.Disconnect(8300); },
         "hwMux: disconnect failed 8300 : Input/output error\n"},
        {"HAL_MUX_DISABLE", [&] { return mux.Disable(8300); },
         "hwMux: disable failed 8300 : Input/output error\n"},
        {"HAL_MUX_WRITE", [&] { return mux.Write(8301, 0x3c); },
         "hwMux: write failed 8301 <- 0x3c : Input/output error\n"},
        {"HAL_MUX_READ", [&] { return mux.Read(9000) != 255; },
         "hwMux: read failed 9000 -> 0xff : Input/output error\n"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.line);
        board(std::string("fail hal ") + c.request + " EIO 1");
        size_t const before = log.text().size();
        EXPECT_FALSE(c.call());
        EXPECT_EQ(log.text().substr(before), c.line);
    }
    // Negative channels reach nobody.
    size_t const before = log.text().size();
    EXPECT_FALSE(mux.Connect(-1, 8200));
    EXPECT_FALSE(mux.Disable(-1));
    EXPECT_EQ(mux.Read(-1), 255);
    EXPECT_EQ(log.text().substr(before), "hwMux: ERROR not opened\n");
}

TEST(HwMux, OutputsBeyondTheBusesArePassedUnrecordedAndTheBoardRefusesThem) {
    // A write just past the table would show in the refresh cursor, one
    // further off under the address sanitizer (the switch is on the stack).
    HwMux mux;
    for (int i = 0; i < HwMux::bus_outputs; ++i) mux.Connect(1, HwMux::first_bus_output + i);
    EXPECT_FALSE(mux.Connect(5, 10240));
    EXPECT_FALSE(mux.Disconnect(10300));
    EXPECT_FALSE(mux.Write(20000, 1));
    for (int i = 0; i < HwMux::bus_outputs; ++i) ASSERT_EQ(mux.output(i), 1);
    EXPECT_EQ(mux.cursor(), 0u);
    EXPECT_NE(board("log hal HAL_MUX_CONNECT").find(" HAL_MUX_CONNECT 10240 5 -> EINVAL\n"),
              std::string::npos);
}

TEST(HwMux, RetriesTheOpenOnEveryOperationWhileTheDeviceIsAbsent) {
    board("absent hal");
    support::StreamCapture log(std::clog);
    HwMux mux;
    EXPECT_FALSE(mux.Connect(5, 8200));
    EXPECT_EQ(mux.Read(8200), 255);
    EXPECT_EQ(log.text(),
              "hwMux: init\n"
              "hwMux: can't open device: No such file or directory\n"
              "hwMux: can't open device: No such file or directory\n"
              "hwMux: ERROR not opened\n"
              "hwMux: can't open device: No such file or directory\n");
    board("present hal");
    board("log clear");
    EXPECT_TRUE(mux.Connect(5, 8200));
    EXPECT_EQ(logged("HAL_MUX_DISABLE"), range(8192, 2048));
}

TEST(HwMux, ADescriptorOfZeroCountsAsOpen) {
    // With standard input closed the device gets descriptor 0; the switch
    // must not open it again (and turn every bus output off) on each call.
    ::close(0);
    HwMux mux;
    board("log clear");
    EXPECT_TRUE(mux.Connect(5, 8200));
    EXPECT_TRUE(mux.Disconnect(8201));
    EXPECT_EQ(board("log hal open"), "");
}
