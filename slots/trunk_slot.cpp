#include "slots/trunk_slot.h"

#include <iostream>

#include "slots/slots.h"

TrunkFactory trunk0(0, 0), trunk1(1, 32), trunk2(2, 64), trunk3(3, 96);
TrunkBRIFactory trunk_bri0(0, 0), trunk_bri1(1, 4), trunk_bri2(2, 8), trunk_bri3(3, 12),
    trunk_bri4(4, 16), trunk_bri5(5, 20), trunk_bri6(6, 24), trunk_bri7(7, 28);

void LinkTrunkFactories() {}

void TrunkSlot::IAfterCreate() {
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}

bool TrunkSlot::IBeforeDestroy() {
    if (TrunkFactory* const factory = GetSlotFactory()) factory->ReleaseTrunkSlot(this);
    return true;
}

TrunkFactory* TrunkSlot::GetSlotFactory() const {
    return dynamic_cast<TrunkFactory*>(Slot::GetSlotFactory());
}

TrunkFactory::TrunkFactory(unsigned trunk, unsigned first_channel)
    : trunk_(trunk), first_channel_(first_channel) {}

template <class S>
Slot* TrunkFactory::Make(LGCP::TrunkParams const& params, unsigned timeslots) {
    unsigned const timeslot = params.get_timeslot().getValue();
    if (params.get_trunk().getValue() != trunk_ || timeslot >= timeslots) return nullptr;
    if (TrunkSlot* const old = slots_[timeslot]) {
        std::cerr << "trunk-slot: two slots require the same timeslot, remove old." << std::endl;
        std::cerr << " old slot " << *old << std::endl;
        Slots::instance().Destroy(old);
    }
    auto* const slot = new S(first_channel_ + timeslot);
    slots_[timeslot] = slot;
    return slot;
}

Slot* TrunkFactory::INewSlot(LGCP::CreateParams const& params) {
    return params.trunk_isSelected() ? Make<TrunkSlot>(params.get_trunk(), 32) : nullptr;
}

// Both kinds free the entry of their own timeslot numbering.
void TrunkFactory::ReleaseTrunkSlot(TrunkSlot* slot) {
    unsigned const timeslot = unsigned(slot->GetTimeSlot());
    if (timeslot < 32 && slots_[timeslot] == slot) slots_[timeslot] = nullptr;
}

TrunkBRIFactory::TrunkBRIFactory(unsigned port, unsigned first_channel)
    : TrunkFactory(port, first_channel) {}

Slot* TrunkBRIFactory::INewSlot(LGCP::CreateParams const& params) {
    return params.trunk_bri_isSelected() ? Make<TrunkBRISlot>(params.get_trunk_bri(), 4)
                                         : nullptr;
}
