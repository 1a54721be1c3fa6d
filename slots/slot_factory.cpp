#include "slots/slot_factory.h"

#include <ostream>

SlotFactory* firstFactory = nullptr;

SlotFactory::SlotFactory() : next_(firstFactory) {
    firstFactory = this;
}

void SlotFactory::PutHeader(std::ostream& os) const {
    os << GetName() << ": ";
}
