#pragma once
// Runs a conversation with the real server as a script: each line either
// sends a message, expects the next message from the server, or runs a
// board-tool command and expects its output. Messages are written in value
// notation on one line, as the server's messages print with their blanks
// collapsed:
//
//   > { seq 1, slot 12, pdu command : create : trunk : { trunk 1, timeslot 5 } }
//   < { seq 1, slot 12, pdu response : success : NULL }
//   $ mux 8195
//   = 8195 <- 37
//   ~ 200          nothing from the server for 200 ms
//
// In an expected message "..." stands for any text, so that a step names
// only what it is about: `< { pdu signal : query : { ... echoBus { 2, 5 }, ... } }`;
// so may the expected output of a board-tool command.
// A step that expects no periodic link report (ss7LinkInfo, hdlcLinkInfo)
// passes over those the signalling slots send on their own. A failed step
// fails the test with the step's line and what came instead.

#include <string>

#include "tests/support/harness.h"

namespace support {

// The next message as one line of value notation; "" on time-out. The
// trunkStatus signals that the E1 and SPI services send on their own, on
// connect and every second, are passed over.
std::string nextMessage(Controller& controller,
                        std::chrono::milliseconds bound = std::chrono::seconds(3));

// Whether a message is a signalling slot's periodic link report.
bool isLinkReport(std::string const& message);

// A value in value notation on one line, as the script's messages are
// written: `status kvel : { ... }` of a radio value built in the test.
std::string oneLine(ASN1::AbstractData const& value);

// Whether the text is the pattern, each "..." in it standing for any text.
bool matches(std::string const& text, std::string const& pattern);

// The script with each "+ COMMAND" line as "> COMMAND" and its success
// answer.
std::string answered(std::string const& script);

void runScript(ServerProcess const& server, Controller& controller, std::string const& script);

}  // namespace support
