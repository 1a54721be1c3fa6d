// The server program and its switch on the simulated board, seen through the
// board tool.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board_harness.h"
#include "server_harness.h"

using namespace harness;
using namespace std::chrono_literals;

TEST(SwitchE2E, EveryBusOutputIsOffBeforeAControllerComesAndTheRefreshFollows) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    EXPECT_EQ(boardTool(server.root(), "log hal open").substr(0, 11), "hal#1 open\n");
    std::istringstream log(boardTool(server.root(), "log hal HAL_MUX_DISABLE"));
    std::string line;
    for (int output = 8192; output <= 10239; ++output) {
        std::getline(log, line);
        ASSERT_EQ(line, "hal#1 HAL_MUX_DISABLE " + std::to_string(output));
    }
    // Then runs of 128, the first starting at the second output.
    for (int output = 8193; output < 8193 + 3 * 128; ++output) {
        std::getline(log, line);
        ASSERT_EQ(line, "hal#1 HAL_MUX_DISABLE " + std::to_string(output));
    }
    EXPECT_EQ(boardTool(server.root(), "mux"), "bus outputs off: 2048 of 2048\n");
}

TEST(SwitchE2E, WithoutTheSwitchDeviceTheServerStartsAndServesTheController) {
    ServerProcess server;
    describeBoard(server.root(), "# a board whose switch driver is missing\nabsent hal\n");
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(server.errHas("hwMux: can't open device: No such file or directory\n"));
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    controller.sendMessage(ping(7));
    LGCP::Message answer;
    ASSERT_TRUE(controller.readAnswer(answer));
    EXPECT_TRUE(answer.get_pdu().get_response().success_isSelected());
    int status = 0;
    EXPECT_EQ(boardTool(server.root(), "devices", &status),
              "/dev/e1-cas present, opens 1\n"
              "/dev/hal absent, opens 0\n"
              "/dev/maintenance present, opens 1\n");
    EXPECT_EQ(status, 0);
}

TEST(SwitchE2E, TheBoardToolRefusesWhatItDoesNotKnow) {
    ServerProcess server;
    describeBoard(server.root(), "mux stuck 99999 1\n");
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(server.errHas("simulated board: /simboard/board.conf line 1: mux wants"));
    int status = 0;
    EXPECT_EQ(boardTool(server.root(), "frobnicate", &status),
              "error: unknown command \"frobnicate\" (try help)\n");
    EXPECT_EQ(status, 1);
}
