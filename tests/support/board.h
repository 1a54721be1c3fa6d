#pragma once
// The simulated board of the test process itself, for in-process tests of the
// device layer and the services over it: the board starts at the first
// device call, under the MOBREL_ROOT of a TempRoot that the test file holds as
// a static object; board() runs a board-tool command line and gives the reply.

#include <sstream>
#include <string>
#include <vector>

#include "hardware/simboard/board.h"

namespace support {

inline std::string board(std::string const& command) {
    return SimBoard::Board::instance().command(command);
}

// The board's log of the requests of that name (every request for ""), each
// without its "device#N " ("DTMF_ENABLE_DETECTOR 3000 5").
inline std::vector<std::string> boardRequests(std::string const& device, std::string const& name) {
    std::istringstream log(board("log " + device + " " + name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
}

}  // namespace support
