#include "rtp/radio/ed137_radio_gw_control.h"

#include <iostream>

#include "hardware/device/rtp_ext_driver.h"
#include "rtp/radio/r2s_proto.h"
#include "runtime/log/ext.h"

namespace RTPSignalling {

ED137SessionParams::ED137SessionParams() : profile(r2s_proto::profile_v1) {}

ED137SessionParams::ED137SessionParams(TERM::ED137RadioResponse const& response)
    : ED137SessionParams() {
    if (response.r2s_keepalive_period_isPresent())
        keepalive_period_ms = response.get_r2s_keepalive_period().getValue();
    if (response.r2s_keepalive_multiplier_isPresent())
        keepalive_multiplier = response.get_r2s_keepalive_multiplier().getValue();
    if (response.rtphe_isPresent() && response.get_rtphe().getValue() == 0)
        profile = r2s_proto::profile_v0;
    ptt_id = response.get_ptt_id().getValue();
}

ED137RadioGWControl::ED137RadioGWControl(IRadioLink& link, IRadioControlNotify& notify,
                                         ED137SessionParams const& params)
    : RadioControl(link, notify), params_(params) {
    TERM::ED137RadioHeader idle;
    idle.set_ptt(TERM::ED137RadioPTT::ptt_off);
    idle.set_squ(TERM::ED137RadioSQU::squ_off);
    idle.set_ptt_id(params.ptt_id);
    idle.set_ptt_mute(false), idle.set_ptt_summation(false), idle.set_sct(false);
    r2s_proto::Encoded const encoded = r2s_proto::encode(params.profile, idle, nullptr);
    // A PTT-id that its field cannot hold leaves the PTT-id 0 until the
    // first command sets one.
    extension_ = encoded.fault.empty() ? encoded.bytes : std::vector<uint8_t>{};
    if (extension_.empty()) {
        idle.set_ptt_id(0);
        extension_ = r2s_proto::encode(params.profile, idle, nullptr).bytes;
        Drop(encoded.fault + " in the session parameters; PTT-id 0 until a command");
    }
}

void ED137RadioGWControl::Start() {
    RadioControl::Start();
    has_reported_ = false;
    OnKeepAliveTimer();
    WatchPeer();
}

void ED137RadioGWControl::Stop() {
    RadioControl::Stop();
    keepalive_.reset();
    peer_.reset();
}

bool ED137RadioGWControl::Command(TERM::RadioModifier const& command) {
    if (!command.ed_137_isSelected()) return Refuse("not an ED-137 radio command");
    TERM::ED137RadioModifierParams const& params = command.get_ed_137().get_params();
    r2s_proto::Encoded encoded;
    if (params.rx_isSelected()) {
        TERM::ED137RadioRxCommand const& rx = params.get_rx();
        encoded = r2s_proto::encode(params_.profile, rx.get_header(),
                                    rx.sqi_isPresent() ? &rx.get_sqi() : nullptr);
    } else if (params.tx_isSelected()) {
        encoded = r2s_proto::encode(params_.profile, params.get_tx().get_header(), nullptr);
    } else {
        return Refuse("no ED-137 command chosen");
    }
    if (!encoded.fault.empty()) return Refuse(encoded.fault);
    if (!Send(Device::RtpExtSignal::ed137_voice, encoded.bytes)) return false;
    extension_ = encoded.bytes;
    return true;
}

void ED137RadioGWControl::OnSignalling(uint16_t kind, uint8_t const* data, size_t size) {
    if (kind != Device::RtpExtSignal::ed137_voice &&
        kind != Device::RtpExtSignal::ed137_keepalive) {
        return Drop("record of kind " + std::to_string(kind) + " on an ED-137 radio session");
    }
    r2s_proto::Decoded const decoded = r2s_proto::decode(data, size);
    if (!decoded.fault.empty()) return Drop(decoded.fault);
    WatchPeer();
    if (has_reported_ && decoded.status == reported_) return;
    reported_ = decoded.status;
    has_reported_ = true;
    Report(TERM::RadioStatus(TERM::RadioStatus::ed_137::index, decoded.status));
}

void ED137RadioGWControl::OnKeepAliveTimer() {
    // While the session takes no keep-alive, it is tried again only once
    // per peer-watch time (period x multiplier), until one goes.
    bool const sent = Send(Device::RtpExtSignal::ed137_keepalive, extension_);
    unsigned const next = sent ? params_.keepalive_period_ms
                               : params_.keepalive_period_ms * params_.keepalive_multiplier;
    keepalive_.set(next, &ED137RadioGWControl::OnKeepAliveTimer, this);
}

void ED137RadioGWControl::WatchPeer() {
    peer_.set(params_.keepalive_period_ms * params_.keepalive_multiplier,
              &ED137RadioGWControl::OnPeerSilent, this);
}

void ED137RadioGWControl::OnPeerSilent() {
    std::cerr << ext::header(this) << "no R2S keep-alive from the peer for "
              << params_.keepalive_period_ms * params_.keepalive_multiplier << " ms" << std::endl;
    // The next extension heard is reported whatever it holds.
    has_reported_ = false;
    Fail(TERM::ED137CauseCode::radio_missing_r2s_keepalive);
}

}  // namespace RTPSignalling
