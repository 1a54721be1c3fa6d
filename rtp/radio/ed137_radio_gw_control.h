#pragma once
// The radio control of an ED-137 radio channel. It keeps the header
// extension that the session puts on its voice packets (set by the
// controller's rx and tx commands), sends an R2S keep-alive with it every
// keep-alive period, and watches the peer: a received extension, on voice
// or on a keep-alive, goes to the controller as a radio state report when
// it differs from the one reported last, and when nothing valid has come
// for period x multiplier the controller gets the failure cause
// radio-missing-r2s-keepalive (once, until the peer is heard again). While
// the session takes no keep-alive (a failing write: one line and one
// failure with the errno), one is tried only every period x multiplier,
// and the period holds again from the first that goes.
//
// The session parameters come from the radio response of the creation:
// the keep-alive period and multiplier (200 ms and 10 when it gives none),
// the extension version (rtphe; the second when none) and the PTT-id of
// the header before the first command.

#include <cstdint>
#include <vector>

#include "messages/term/term.h"
#include "rtp/radio/radio_control.h"
#include "runtime/loop/timer.h"

namespace RTPSignalling {

struct ED137SessionParams {
    static constexpr unsigned default_period_ms = 200;
    static constexpr unsigned default_multiplier = 10;

    unsigned keepalive_period_ms = default_period_ms;
    unsigned keepalive_multiplier = default_multiplier;
    uint16_t profile;
    unsigned ptt_id = 0;

    ED137SessionParams();
    // The response's values where it gives them, the defaults elsewhere.
    explicit ED137SessionParams(TERM::ED137RadioResponse const& response);
};

class ED137RadioGWControl : public RadioControl {
public:
    ED137RadioGWControl(IRadioLink& link, IRadioControlNotify& notify,
                        ED137SessionParams const& params);

    // Starting sends the first keep-alive at once and starts watching the
    // peer; stopping ends both.
    void Start() override;
    void Stop() override;
    bool Command(TERM::RadioModifier const& command) override;
    char const* GetName() const override { return "ED137 radio control"; }

    ED137SessionParams const& params() const { return params_; }

private:
    void OnSignalling(uint16_t kind, uint8_t const* data, size_t size) override;
    void OnKeepAliveTimer();
    void OnPeerSilent();
    void WatchPeer();

    ED137SessionParams const params_;
    std::vector<uint8_t> extension_;  // on voice packets and keep-alives
    TERM::ED137RadioStatus reported_;
    bool has_reported_ = false;
    Timer keepalive_;
    Timer peer_;
};

}  // namespace RTPSignalling
