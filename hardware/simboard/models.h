#pragma once
// The drivers of the simulated board, in the order the board asks them.

#include <memory>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

std::vector<std::unique_ptr<Model>> MakeModels(Board& board);

}  // namespace SimBoard
