#include "signalling/isdn/isdn_slot.h"

#include <iostream>

#include "runtime/log/ext.h"
#include "signalling/isdn/isdn_factory.h"

IsdnSlot::IsdnSlot(Fd const& channel, int timeslot, ISDN::IsdnLink::Settings const& settings)
    : timeslot_(timeslot), link_(*this, *this, settings) {
    channel_.Attach(channel, timeslot);
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
    // The link's own recovery covers a frame the channel lost.
    channel_.Send(frame, size);
}

void IsdnSlot::OnFrame(uint8_t const* frame, size_t size) { link_.OnFrame(frame, size); }

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
