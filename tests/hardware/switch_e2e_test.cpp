// The server program and its switch on the simulated board, seen through the
// board tool.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

using namespace support;

TEST(SwitchE2E, EveryBusOutputIsOffBeforeAControllerComesAndTheRefreshFollows) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    // The outputs of the switch's disable requests, in order.
    std::istringstream log(boardTool(server.root(), "log hal HAL_MUX_DISABLE"));
    std::vector<int> outputs;
    std::string name, request;
    for (int output; log >> name >> request >> output;) outputs.push_back(output);
    ASSERT_GE(outputs.size(), 2048u + 3 * 128);
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(outputs[i], 8192 + i);
    // Then runs of 128, the first starting at the second output.
    for (int i = 0; i < 3 * 128; ++i) ASSERT_EQ(outputs[2048 + i], 8193 + i);
    EXPECT_EQ(boardTool(server.root(), "mux"), "bus outputs off: 2048 of 2048\n");
}

TEST(SwitchE2E, WithoutTheSwitchDeviceTheServerStartsAndServesTheController) {
    ServerProcess server;
    describeBoard(server.root(),
                  "# a board whose switch driver is missing\nabsent hal\n"
                  "mux stuck 99999 1\n");
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(server.errHas("hwMux: can't open device: No such file or directory\n"));
    EXPECT_TRUE(server.errHas("simulated board: /simboard/board.conf line 3: mux wants"));
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    EXPECT_TRUE(controller.pingAnswered(7));
    EXPECT_NE(boardTool(server.root(), "devices").find("/dev/hal absent, opens 0\n"),
              std::string::npos);
    int status = 0;
    EXPECT_EQ(boardTool(server.root(), "frobnicate", &status),
              "error: unknown command \"frobnicate\" (try help)\n");
    EXPECT_EQ(status, 1);
}
