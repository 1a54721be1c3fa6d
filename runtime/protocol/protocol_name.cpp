#include "runtime/protocol/protocol_name.h"

#include <ostream>

void Protocol_name::out(std::ostream& os) const {
    os << name();
}

std::ostream& operator<<(std::ostream& os, Protocol_name const& name) {
    name.out(os);
    return os;
}
