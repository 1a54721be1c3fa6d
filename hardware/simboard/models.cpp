#include "hardware/simboard/models.h"

#include "hardware/simboard/echo_model.h"
#include "hardware/simboard/mcc_model.h"
#include "hardware/simboard/mux_model.h"

namespace SimBoard {

std::vector<std::unique_ptr<Model>> MakeModels(Board& board) {
    std::vector<std::unique_ptr<Model>> models;
    models.push_back(std::make_unique<MuxModel>(board));
    models.push_back(std::make_unique<EchoModel>(board));
    models.push_back(std::make_unique<MccModel>(board));
    return models;
}

}  // namespace SimBoard
