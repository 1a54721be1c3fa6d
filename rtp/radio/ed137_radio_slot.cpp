#include "rtp/radio/ed137_radio_slot.h"

#include "hardware/device/rtp_ext_driver.h"

RtpED137Slot::RtpED137Slot(RtpSetup const& setup, RTPSignalling::ED137SessionParams const& params)
    : RtpExtSlot(setup, Device::RtpExtInit::ed137), params_(params) {}

std::unique_ptr<RTPSignalling::RadioControl> RtpED137RadioGWSlot::MakeControl(
    RTPSignalling::IRadioLink& link) {
    return std::make_unique<RTPSignalling::ED137RadioGWControl>(link, *this, params_);
}
