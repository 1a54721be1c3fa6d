#include "tests/support/lapd_end.h"

#include <utility>

namespace support {

LapdEnd::LapdEnd(std::string name_, ISDN::LapdParams const& params, std::vector<std::string>& log_)
    : name(std::move(name_)), log(log_), lapd(params, *this) {}

void LapdEnd::give(std::string const& frame) {
    // A copy of the frame's own size, so that a read past its end is
    // caught by the address sanitizer.
    Bytes const bytes = hex(frame);
    Bytes const exact(bytes.begin(), bytes.end());
    lapd.Receive(exact.data(), exact.size());
}

ISDN::Lapd::SendResult LapdEnd::send(Bytes const& message) {
    return lapd.Send(message.data(), message.size());
}

void LapdEnd::LapdTransmit(uint8_t const* frame, size_t size) {
    Bytes const bytes(frame, frame + size);
    log.push_back(name + ' ' + text(bytes));
}

}  // namespace support
