#pragma once
// A server of the signalling tests: short link timers and reports from its
// configuration, the board described, a controller connected, and reading
// that passes over the periodic link reports unless a step asks for one.

#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "tests/support/script.h"

namespace support {

// Link timers for the tests: normal proving 600 ms, emergency 30 ms, units
// repeated every 10 ms, LAPD's T200 60 ms and T203 2 s, reports every 250 ms.
extern char const fast_links[];

struct SignallingSession {
    explicit SignallingSession(std::string const& board = "",
                               std::string const& config = fast_links);

    void run(std::string const& script) { runScript(server, controller, script); }
    // Sends a message written in value notation.
    void send(std::string const& message);
    std::string board(std::string const& command) const {
        return boardTool(server.root(), command);
    }
    // The next message that is not a periodic link report; "" on time-out.
    std::string next(std::chrono::milliseconds bound = std::chrono::seconds(3));
    // Reads the slot's reports of that kind ("ss7LinkInfo") until one
    // matches the pattern ("..." for any text); fails with the last one read.
    ::testing::AssertionResult hasReport(char const* kind, int slot, std::string const& pattern);
    // The path of an MCC channel's line socket.
    std::string lineSocket(int channel) const;
    // The next message of each of two links joined back to back, in slot
    // order, a line each.
    std::string nextOfBoth();
    // Runs the script that makes and activates slots 1 and 2 on MCC channels
    // 1024 and 1025, joins the two channels and waits until both links are
    // up; the time of the join.
    std::chrono::steady_clock::time_point upBackToBack(std::string const& script);

    // The next message that the predicate wants, passing over the others.
    std::string nextSuch(std::function<bool(std::string const&)> const& wanted,
                         std::chrono::milliseconds bound);

    ServerProcess server;
    Controller controller;
};

// A command and its answer as script lines.
std::string command(int seq, int slot, std::string const& what,
                    std::string const& answer = "success : NULL");
std::string activate(int seq, int slot);

}  // namespace support
