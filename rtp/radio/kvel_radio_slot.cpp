#include "rtp/radio/kvel_radio_slot.h"

#include "hardware/device/rtp_ext_driver.h"
#include "rtp/radio/kvel_radio_gw_control.h"

RtpKVELSlot::RtpKVELSlot(RtpSetup const& setup) : RtpExtSlot(setup, Device::RtpExtInit::kvel) {}

std::unique_ptr<RTPSignalling::RadioControl> RtpKVELRadioGWSlot::MakeControl(
    RTPSignalling::IRadioLink& link) {
    return std::make_unique<RTPSignalling::KvelRadioGWControl>(link, *this);
}
