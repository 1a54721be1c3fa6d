#pragma once
// In-process tests of the device layer and the services over it: the
// simulated board starts at the first device call, under the MOBREL_ROOT of a
// loop_test::TempRoot that the test file holds as a static object; board()
// runs a board-tool command line.

#include <string>

#include "hardware/simboard/board.h"
#include "runtime/loop_support.h"

namespace board_test {

inline std::string board(std::string const& command) {
    return SimBoard::Board::instance().command(command);
}

}  // namespace board_test
