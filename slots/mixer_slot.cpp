#include "slots/mixer_slot.h"

#include <iostream>
#include <optional>

#include "hardware/hw_mux.h"
#include "runtime/log/ext.h"
#include "slots/mixer_unit.h"

namespace Mixer {

namespace {

// The requests that an input and an output carry out alike; nothing for
// the others.
std::optional<bool> SharedIoctl(Hardware::TonecReceiver& tonec, Hardware::DSProcReceiver& dsp,
                                Mixer const& unit, LGCP::IoctlParams const& params) {
    if (params.translateDTMF_isSelected()) {
        tonec.translateDTMF(params.get_translateDTMF());
        return true;
    }
    if (params.dtmf_params_isSelected()) return tonec.configureDTMF(params.get_dtmf_params());
    if (params.vad_enable_isSelected()) return dsp.enableVAD(params.get_vad_enable());
    if (params.vad_disable_isSelected()) return dsp.disableVAD();
    if (params.vad_params_isSelected()) return dsp.configureVAD(params.get_vad_params());
    if (params.sd_enable_isSelected()) return dsp.enableSD(params.get_sd_enable());
    if (params.sd_disable_isSelected()) return dsp.disableSD();
    if (params.sd_params_isSelected()) return dsp.configureSD();
    if (params.iva_enable_isSelected()) return tonec.enableIVA(params.get_iva_enable());
    if (params.tone_filter_isSelected()) {
        dsp.configureToneFilter(params.get_tone_filter());
        return true;
    }
    if (params.delays_isSelected()) {
        LGCP::Delays const& delays = params.get_delays();
        if (delays.selcal_isPresent())
            std::cerr << ext::header(&unit)
                      << "error: selcal delay isn't supported for mixer!!! Set to zero."
                      << std::endl;
        dsp.configureDelays(delays.rx_isPresent() ? unsigned(delays.get_rx().getValue()) : 0,
                            delays.tx_isPresent() ? unsigned(delays.get_tx().getValue()) : 0, 0);
        return true;
    }
    return std::nullopt;
}

}  // namespace

bool TdmInput::IBeforeDestroy() {
    HwMux::instance().Disable(timeslot_);
    unit_.Release(*this);
    return true;
}

bool TdmInput::Ioctl(LGCP::IoctlParams const& params) {
    if (params.echoSuppressor_isSelected()) return echoCancel(params.get_echoSuppressor());
    if (params.dtmf_enable_isSelected()) return enableDTMF(params.get_dtmf_enable());
    if (params.dtmf_reject_enable_isSelected())
        return enableDTMFReject(params.get_dtmf_reject_enable());
    if (params.iva_params_isSelected()) return configureIVA(params.get_iva_params());
    if (params.rx_gain_isSelected()) {
        configureRxGain(params.get_rx_gain());
        return true;
    }
    return SharedIoctl(*this, *this, unit_, params).value_or(false);
}

TdmOutput::~TdmOutput() {
    TonecReceiver::CleanBeforeDestroy();
    DSProcReceiver::CleanBeforeDestroy();
}

bool TdmOutput::IBeforeDestroy() {
    HwMux::instance().Disable(timeslot_);
    unit_.Release(*this);
    return true;
}

bool TdmOutput::Ioctl(LGCP::IoctlParams const& params) {
    if (params.dtmf_disable_isSelected()) return disableToneGenerator(false);
    if (params.dtmf_reject_disable_isSelected()) return enableDTMFReject(false);
    if (params.tone_gen_enable_isSelected()) {
        LGCP::ToneGenerator const& tone = params.get_tone_gen_enable();
        disableToneGenerator(false);
        enableToneGenerator(uint16_t(tone.get_freq().getValue()), 0,
                            uint16_t(tone.get_amp().getValue()), 0);
        return true;
    }
    if (params.tone_gen_disable_isSelected()) {
        disableToneGenerator(true);
        return true;
    }
    return SharedIoctl(*this, *this, unit_, params).value_or(false);
}

}  // namespace Mixer
