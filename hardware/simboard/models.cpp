#include "hardware/simboard/models.h"

#include "hardware/simboard/cas_model.h"
#include "hardware/simboard/clock_model.h"
#include "hardware/simboard/dsp_data_model.h"
#include "hardware/simboard/dsp_model.h"
#include "hardware/simboard/e1_model.h"
#include "hardware/simboard/echo_model.h"
#include "hardware/simboard/ethernet_model.h"
#include "hardware/simboard/mcc_model.h"
#include "hardware/simboard/mixer_model.h"
#include "hardware/simboard/modem_model.h"
#include "hardware/simboard/mux_model.h"
#include "hardware/simboard/netif_model.h"
#include "hardware/simboard/rtp_ext_model.h"
#include "hardware/simboard/rtp_model.h"
#include "hardware/simboard/panel_model.h"
#include "hardware/simboard/spi_model.h"
#include "hardware/simboard/tonec_model.h"
#include "hardware/simboard/voice_model.h"
#include "hardware/simboard/voice_version_model.h"
#include "hardware/simboard/watchdog_model.h"

namespace SimBoard {

std::vector<std::unique_ptr<Model>> MakeModels(Board& board) {
    std::vector<std::unique_ptr<Model>> models;
    models.push_back(std::make_unique<MuxModel>(board));
    models.push_back(std::make_unique<EchoModel>(board));
    auto voice = std::make_unique<VoiceModel>(board);
    VoiceModel& counts = *voice;
    models.push_back(std::move(voice));
    models.push_back(std::make_unique<ClockModel>(board));
    models.push_back(std::make_unique<SpiModel>(board));
    models.push_back(std::make_unique<E1Model>(board));
    models.push_back(std::make_unique<CasModel>(board));
    models.push_back(std::make_unique<MccModel>(board));
    models.push_back(std::make_unique<TonecModel>(board));
    models.push_back(std::make_unique<DspModel>(board));
    models.push_back(std::make_unique<MixerModel>(board));
    models.push_back(std::make_unique<VoiceVersionModel>(board));
    models.push_back(std::make_unique<ModemModel>(board));
    models.push_back(std::make_unique<NetifModel>(board));
    models.push_back(std::make_unique<RtpModel>(board, counts));
    models.push_back(std::make_unique<RtpExtModel>(board));
    models.push_back(std::make_unique<PanelModel>(board));
    models.push_back(std::make_unique<EthernetModel>(board));
    models.push_back(std::make_unique<DspDataModel>(board));
    models.push_back(std::make_unique<WatchdogModel>(board));
    return models;
}

}  // namespace SimBoard
