#include "signalling/isdn/isdn_factory.h"

#include <fcntl.h>

#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/dsp_data_link.h"
#include "hardware/mcc_channel.h"
#include "runtime/log/ext.h"
#include "signalling/hdlc/frame_channel.h"
#include "signalling/isdn/isdn_slot.h"
#include "signalling/signalling_config.h"

namespace {

ISDN::Side SideOf(LGCP::IsdnSide const& side) {
    return side.network_isSelected() ? ISDN::Side::network : ISDN::Side::user;
}

}  // namespace

namespace ISDN {

IsdnLink::Settings LinkSettings(bool basic_access, Side side, int log) {
    SignallingConfig const& config = signallingConfig();
    IsdnLink::Settings settings;
    settings.lapd = LinkParams(basic_access, side);
    settings.lapd.t200_ms = config.isdn_t200;
    settings.lapd.t203_ms = config.isdn_t203;
    settings.log = log;
    settings.report_ms = config.report;
    return settings;
}

IsdnLink::Settings LinkSettings(LGCP::IsdnParams const& params) {
    return LinkSettings(params.get_type().asInt() == LGCP::IsdnType::bri,
                        SideOf(params.get_side()), int(params.get_log().getValue()));
}

}  // namespace ISDN

namespace {

Slot* NewIsdnSlot(IsdnFactory const& factory, LGCP::IsdnParams const& params) {
    bool const basic_access = params.get_type().asInt() == LGCP::IsdnType::bri;
    Mcc::Channel const channel = FrameChannel::Open(basic_access ? Mcc::bri : Mcc::data);
    if (channel.failed != Mcc::Channel::none) {
        std::cerr << ext::header(&factory) << Mcc::FailureText(channel.failed)
                  << std::strerror(channel.error) << std::endl;
        return nullptr;
    }
    return new IsdnSlot(channel.fd, channel.timeslot, ISDN::LinkSettings(params));
}

Slot* NewAtsQsigSlot(IsdnFactory const& factory, LGCP::AtsQsigParams const& params) {
    Fd const fd(Device::open(Device::dsp_data_device, O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        Errno const error;
        std::cerr << ext::header(&factory) << "fail to open dsp-data device: " << error
                  << std::endl;
        return nullptr;
    }
    DspData::Link link;
    if (DspData::Attach(fd.lowlevel_fd(), link) < 0) {
        Errno const error;
        std::cerr << ext::header(&factory) << "DSP_DATA_ATTACH fail: " << error << std::endl;
        return nullptr;
    }
    return new AtsQsigSlot(fd, link, ISDN::LinkSettings(false, SideOf(params.get_side()), 0));
}

Slot* NewAtsQsigBSlot(IsdnFactory const& factory, LGCP::AtsQsigBParams const& params) {
    long const number = params.get_slot().getValue();
    long const subslot = params.get_subslot().getValue();
    if (subslot < 1 || subslot > DspData::b_channels) {
        std::cerr << ext::header(&factory) << "ats-qsig-b: no B channel " << subslot << std::endl;
        return nullptr;
    }
    for (Slot* slot : factory.slots()) {
        auto* const d = dynamic_cast<AtsQsigSlot*>(slot);
        if (!d || d->GetId() != uint32_t(number) || d->is_releasing()) continue;
        auto* const b = new AtsQsigBSlot(*d, int(subslot) - 1);
        if (d->Attach(int(subslot) - 1, b)) return b;
        delete b;
        std::cerr << ext::header(&factory) << "ats-qsig-b: B channel " << subslot << " of "
                  << *d << " has a slot already" << std::endl;
        return nullptr;
    }
    std::cerr << ext::header(&factory) << "ats-qsig-b: no ATS-QSIG slot " << number << std::endl;
    return nullptr;
}

}  // namespace

IsdnFactory& IsdnFactory::instance() {
    static IsdnFactory factory;
    return factory;
}

Slot* IsdnFactory::INewSlot(LGCP::CreateParams const& params) {
    if (params.isdn_isSelected()) return NewIsdnSlot(*this, params.get_isdn());
    if (params.ats_qsig_isSelected()) return NewAtsQsigSlot(*this, params.get_ats_qsig());
    if (params.ats_qsig_b_isSelected()) return NewAtsQsigBSlot(*this, params.get_ats_qsig_b());
    return nullptr;
}
