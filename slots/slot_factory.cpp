#include "slots/slot_factory.h"

#include <algorithm>
#include <ostream>

#include "slots/slot.h"

SlotFactory* firstFactory = nullptr;

SlotFactory::SlotFactory() : next_(firstFactory) { firstFactory = this; }

Slot* SlotFactory::NewSlot(LGCP::CreateParams const& params) {
    Slot* const slot = INewSlot(params);
    if (!slot) return nullptr;
    slot->factory_ = this;
    slots_.push_back(slot);
    return slot;
}

void SlotFactory::Remove(Slot* slot) {
    slots_.erase(std::remove(slots_.begin(), slots_.end(), slot), slots_.end());
}

void SlotFactory::PutHeader(std::ostream& os) const { os << GetName() << ": "; }
