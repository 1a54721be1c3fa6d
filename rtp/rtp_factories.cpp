#include "rtp/rtp_factories.h"

#include <fcntl.h>

#include <iostream>
#include <optional>
#include <sstream>

#include "hardware/device/device.h"
#include "hardware/device/voice_driver.h"
#include "hardware/device_names.h"
#include "rtp/radio/ed137_radio_slot.h"
#include "rtp/radio/kvel_radio_slot.h"
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
    LGCP::CreateRtpParams const& create = params.get_rtp();
    TERM::RtpParams const& rtp = create.get_codecRTP();
    if (!Takes(rtp)) return nullptr;
    std::ostringstream header;
    PutHeader(header);
    std::optional<RtpSetup> const setup = ReadRtpSetup(create, std::cerr, header.str());
    if (!setup) return nullptr;
    std::unique_ptr<RtpSlot> slot = MakeSlot(*setup, create);
    if (!slot || !slot->Open(*this)) return nullptr;
    if (rtp.echo_isPresent() && rtp.get_echo().get_suppressor())
        slot->echoCancel(rtp.get_echo().get_canceller());
    return slot.release();
}

Slot* RtpRadioFactory::INewSlot(LGCP::CreateParams const& params) {
    // The base makes only this factory's kind of slot: an extended one.
    std::unique_ptr<RtpExtSlot> slot(static_cast<RtpExtSlot*>(RtpFactoryBase::INewSlot(params)));
    if (!slot) return nullptr;
    if (!slot->OpenRadio(*this, params.get_rtp().get_codecRTP().get_radio())) return nullptr;
    return slot.release();
}

RtpFactory& RtpFactory::instance() {
    static RtpFactory factory;
    return factory;
}

bool RtpFactory::Takes(TERM::RtpParams const& rtp) const {
    return !rtp.radio_isPresent();
}

std::unique_ptr<RtpSlot> RtpFactory::MakeSlot(RtpSetup const& setup, LGCP::CreateRtpParams const&) {
    return std::make_unique<RtpSlot>(setup);
}

RtpKVELFactory& RtpKVELFactory::instance() {
    static RtpKVELFactory factory;
    return factory;
}

bool RtpKVELFactory::Takes(TERM::RtpParams const& rtp) const {
    return rtp.radio_isPresent() && rtp.get_radio().get_status().kvel_isSelected();
}

std::unique_ptr<RtpSlot> RtpKVELFactory::MakeSlot(RtpSetup const& setup,
                                                  LGCP::CreateRtpParams const&) {
    return std::make_unique<RtpKVELRadioGWSlot>(setup);
}

RtpED137Factory& RtpED137Factory::instance() {
    static RtpED137Factory factory;
    return factory;
}

bool RtpED137Factory::Takes(TERM::RtpParams const& rtp) const {
    return rtp.radio_isPresent() && rtp.get_radio().get_status().ed_137_isSelected();
}

std::unique_ptr<RtpSlot> RtpED137Factory::MakeSlot(RtpSetup const& setup,
                                                   LGCP::CreateRtpParams const& params) {
    TERM::ED137RadioStatus const& status =
        params.get_codecRTP().get_radio().get_status().get_ed_137();
    RTPSignalling::ED137SessionParams const session =
        status.radio_response_isPresent()
            ? RTPSignalling::ED137SessionParams(status.get_radio_response())
            : RTPSignalling::ED137SessionParams();
    return std::make_unique<RtpED137RadioGWSlot>(setup, session);
}
