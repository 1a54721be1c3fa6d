#pragma once
// The simulated board of the test process itself, for in-process tests of the
// device layer and the services over it: the board starts at the first
// device call, under the MOBREL_ROOT of a TempRoot that the test file holds as
// a static object; board() runs a board-tool command line and gives the reply.

#include <string>

#include "hardware/simboard/board.h"

namespace support {

inline std::string board(std::string const& command) {
    return SimBoard::Board::instance().command(command);
}

}  // namespace support
