#include "hardware/simboard/models.h"

#include "hardware/simboard/echo_model.h"
#include "hardware/simboard/modem_model.h"
#include "hardware/simboard/mux_model.h"
#include "hardware/simboard/netif_model.h"

namespace SimBoard {

std::vector<std::unique_ptr<Model>> MakeModels(Board& board) {
    std::vector<std::unique_ptr<Model>> models;
    models.push_back(std::make_unique<MuxModel>(board));
    models.push_back(std::make_unique<EchoModel>(board));
    models.push_back(std::make_unique<ModemModel>(board));
    models.push_back(std::make_unique<NetifModel>(board));
    return models;
}

}  // namespace SimBoard
