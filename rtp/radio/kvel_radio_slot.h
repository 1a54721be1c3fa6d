#pragma once
// The Kvel radio slots: an extended RTP slot whose session carries Kvel
// radio records, and its gateway form, whose Kvel radio control turns the
// controller's Kvel commands into records and the received statuses into
// reports. RtpKVELFactory makes the gateway form.

#include <memory>

#include "rtp/radio/rtp_ext_slot.h"

class RtpKVELSlot : public RtpExtSlot {
public:
    explicit RtpKVELSlot(RtpSetup const& setup);
};

class RtpKVELRadioGWSlot : public RtpKVELSlot {
public:
    using RtpKVELSlot::RtpKVELSlot;
    char const* GetName() const override { return "rtp ext KVEL (GW)"; }

protected:
    std::unique_ptr<RTPSignalling::RadioControl> MakeControl(
        RTPSignalling::IRadioLink& link) override;
};
