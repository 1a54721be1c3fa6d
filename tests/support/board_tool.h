#pragma once
// The simulated board of a server started by the test harness, seen and
// driven through the board tool, as a person at the server would; and short
// texts of what the server sends, for tables of expected messages.

#include <sys/types.h>

#include <chrono>
#include <string>

#include "messages/lgcp/lgcp.h"
#include "runtime/system/fd.h"
#include "tests/support/harness.h"

namespace support {

// Writes the board description of the root (run before the server starts).
void describeBoard(std::string const& root, std::string const& text);

// Runs `mobrel-board <command>` against the board of the root; its output.
// The tool's exit status goes to *status when given.
std::string boardTool(std::string const& root, std::string const& command, int* status = nullptr);

// A client of the board's control socket that has sent the text and shut
// down its sending side, or an invalid Fd.
Fd sendToBoard(std::string const& root, std::string const& text);
// What the socket reads until its end, a reset or the bound.
std::string readToEnd(Fd const& fd, std::chrono::milliseconds bound);
// The peak resident memory of a process (VmHWM) in KB; -1 when unknown.
long peakMemoryKb(pid_t pid);

// `log FILTER` of the board tool with the opens' serial numbers left out
// ("hal HAL_MUX_WRITE 8200 213").
std::string boardLog(std::string const& root, std::string const& filter);

// A message from the server in one line: "ok", "error busError",
// "cas 0/5 rx 3 tx 9", "e1 2 rai 7 0 0 0 0" (type, trunk, state, then slips,
// lossBF, lossCarrier, lossAIS, lossRAI; " named" or " master" when the name
// or clockMaster is set), any other as value notation; " seq N" and
// " slot N" at the end when it carries them.
std::string brief(LGCP::Message const& message);

// How often the part occurs in the text.
size_t occurrences(std::string const& text, std::string const& part);

// The next `count` messages as briefs joined by "; " (fewer on time-out).
std::string receive(Controller& controller, int count,
                    std::chrono::milliseconds bound = std::chrono::seconds(5));

}  // namespace support
