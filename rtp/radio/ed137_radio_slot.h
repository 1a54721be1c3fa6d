#pragma once
// The ED-137 radio slots: an extended RTP slot whose session carries ED-137
// header extensions and R2S keep-alives with the session parameters of the
// radio response, and its gateway form, whose ED-137 radio control keeps
// the keep-alives going, watches the peer's and reports the received radio
// headers. RtpED137Factory makes the gateway form.

#include <memory>

#include "rtp/radio/ed137_radio_gw_control.h"
#include "rtp/radio/rtp_ext_slot.h"

class RtpED137Slot : public RtpExtSlot {
public:
    RtpED137Slot(RtpSetup const& setup, RTPSignalling::ED137SessionParams const& params);

protected:
    RTPSignalling::ED137SessionParams const params_;
};

class RtpED137RadioGWSlot : public RtpED137Slot {
public:
    using RtpED137Slot::RtpED137Slot;
    char const* GetName() const override { return "rtp ext ED137 (GW)"; }

protected:
    std::unique_ptr<RTPSignalling::RadioControl> MakeControl(
        RTPSignalling::IRadioLink& link) override;
};
