#include "signalling/isdn/isdn_slot.h"

#include <cerrno>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/mcc_channel.h"
#include "runtime/log/ext.h"
#include "signalling/isdn/isdn_factory.h"

IsdnSlot::IsdnSlot(Fd const& channel, int timeslot, ISDN::IsdnLink::Settings const& settings)
    : timeslot_(timeslot), link_(*this, *this, settings) {
    event_.Bind("IsdnSlot::OnEvent", &IsdnSlot::OnEvent, this);
    event_.Schedule(channel, POLLIN);
}

void IsdnSlot::PutHeader(std::ostream& os) const { os << *this << ": "; }

bool IsdnSlot::IActivate(TERM::TermActivateParams const&) {
    link_.Activate();
    return true;
}

bool IsdnSlot::IDeactivate() {
    link_.Deactivate();
    return true;
}

bool IsdnSlot::IUserData(std::vector<char> const& data) { return link_.UserData(data); }

void IsdnSlot::SendFrame(uint8_t const* frame, size_t size) {
    if (!event_.IsActive()) return;
    ssize_t const written = Device::write(event_.lowlevel_fd(), frame, size);
    if (written == ssize_t(size)) return;
    // The link's own recovery covers a frame the channel lost.
    Errno const error;
    std::cerr << ext::header(this) << "frame of " << size << " octets not sent: " << error
              << std::endl;
}

void IsdnSlot::OnEvent(int fd, short revents) {
    uint8_t frame[max_frame];
    Mcc::ServeReads(event_, fd, revents, timeslot_, ext::header(this), frame, sizeof(frame),
                    [&](size_t size) {
                        link_.OnFrame(frame, size);
                        return true;
                    });
}

AtsQsigSlot::AtsQsigSlot(Fd const& link, DspData::Link const& channels,
                         ISDN::IsdnLink::Settings const& settings)
    : IsdnSlot(link, channels.line, settings), channels_(channels) {}

bool AtsQsigSlot::IBeforeDestroy() {
    ReleaseChannel();
    return true;
}

bool AtsQsigSlot::Attach(int index, AtsQsigBSlot* slot) {
    if (b_[index]) return false;
    b_[index] = slot;
    return true;
}

void AtsQsigSlot::Detach(AtsQsigBSlot const* slot) {
    for (AtsQsigBSlot*& b : b_)
        if (b == slot) b = nullptr;
}

AtsQsigBSlot::AtsQsigBSlot(AtsQsigSlot const& d_slot, int index)
    : d_slot_(d_slot.GetId()), channel_(d_slot.BChannel(index)) {}

bool AtsQsigBSlot::IBeforeDestroy() {
    for (Slot* slot : IsdnFactory::instance().slots()) {
        auto* const d = dynamic_cast<AtsQsigSlot*>(slot);
        if (d && d->GetId() == d_slot_) {
            d->Detach(this);
            return true;
        }
    }
    std::clog << "Can't find signalling slot" << std::endl;
    return true;
}
