#pragma once
// The simulated board of a server started by the test harness, seen and
// driven through the board tool, as a person at the server would.

#include <string>

namespace harness {

// Writes the board description of the root (run before the server starts).
void describeBoard(std::string const& root, std::string const& text);

// Runs `mobrel-board <command>` against the board of the root; its output.
// The tool's exit status goes to *status when given.
std::string boardTool(std::string const& root, std::string const& command,
                      int* status = nullptr);

}  // namespace harness
