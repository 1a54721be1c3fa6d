#include "rtp/rtp_factories.h"

#include <fcntl.h>

#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/voice_driver.h"
#include "hardware/device_names.h"
#include "rtp/rtp_payload.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"

namespace {

using Field = ASN1::INTEGER& (LGCP::Resources::*)();

// The report's fields in the order of the counts asked, with their selectors.
struct Count {
    uint32_t selector;
    Field field;
};

Count const counts[] = {
    {4, &LGCP::Resources::set_rtp_g729},   {2, &LGCP::Resources::set_rtp_g723},
    {1, &LGCP::Resources::set_rtp_g711},   {8, &LGCP::Resources::set_rtp_g711mcc},
    {65, &LGCP::Resources::set_universal},
};

}  // namespace

void RtpFactoryBase::QueryOnce() {
    LGCP::Resources resources;
    Query(resources);
}

void RtpFactoryBase::Query(LGCP::Resources& resources) {
    for (Count const& count : counts) (resources.*count.field)().setValue(0);
    Fd const voice(Device::open(GetVoiceDevName(), O_RDONLY | O_CLOEXEC));
    if (!voice) {
        Errno const error;
        std::cerr << ext::header(this) << "device \"" << GetVoiceDevName()
                  << "\" open fail: " << error << std::endl;
        return;
    }
    for (Count const& count : counts) {
        int const result =
            Device::ioctlValue(voice.lowlevel_fd(), Device::VOICE_COUNT, count.selector);
        if (result < 0) {
            Errno const error;
            std::cerr << ext::header(this) << "VOICE_COUNT " << count.selector << " fail: " << error
                      << std::endl;
        } else if (result > 0) {
            (resources.*count.field)().setValue(result);
        }
    }
}

Slot* RtpFactoryBase::INewSlot(LGCP::CreateParams const& params) {
    if (!params.rtp_isSelected()) return nullptr;
    TERM::RtpParams const& rtp = params.get_rtp().get_codecRTP();
    if (!Takes(rtp)) return nullptr;
    int const payload = rtp.get_payload().asInt();
    if (RtpPayloadType(payload) < 0) {
        std::cerr << ext::header(this) << "rtp do not created: payload " << payload << "not found"
                  << std::endl;
        return nullptr;
    }
    std::cerr << ext::header(this) << "rtp do not created: this server opens no RTP session"
              << std::endl;
    return nullptr;
}

RtpFactory& RtpFactory::instance() {
    static RtpFactory factory;
    return factory;
}

bool RtpFactory::Takes(TERM::RtpParams const& rtp) const {
    return !rtp.radio_isPresent();
}

RtpKVELFactory& RtpKVELFactory::instance() {
    static RtpKVELFactory factory;
    return factory;
}

bool RtpKVELFactory::Takes(TERM::RtpParams const& rtp) const {
    return rtp.radio_isPresent() && rtp.get_radio().get_status().kvel_isSelected();
}

RtpED137Factory& RtpED137Factory::instance() {
    static RtpED137Factory factory;
    return factory;
}

bool RtpED137Factory::Takes(TERM::RtpParams const& rtp) const {
    return rtp.radio_isPresent() && rtp.get_radio().get_status().ed_137_isSelected();
}
