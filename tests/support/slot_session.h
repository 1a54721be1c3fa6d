#pragma once
// A server of the slot tests with a controller connected and its greeting
// read; the board is described first when a description is given.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/script.h"
#include "tests/support/harness.h"

namespace support {

struct Connected {
    explicit Connected(std::string const& board = "") {
        if (!board.empty()) describeBoard(server.root(), board);
        EXPECT_TRUE(server.start());
        EXPECT_TRUE(controller.connect(server.port()));
        EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : both }");
    }
    void run(std::string const& script) { runScript(server, controller, script); }

    ServerProcess server;
    Controller controller;
};

}  // namespace support
