#include "runtime/protocol/protocol_status.h"

#include <ostream>

void Protocol_status_success::out(std::ostream& os) const {
    os << text_;
}

void Protocol_status_error::out(std::ostream& os) const {
    os << text_;
}

std::ostream& operator<<(std::ostream& os, Internal_protocol_status const& status) {
    status.out(os);
    return os;
}
