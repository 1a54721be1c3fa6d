#pragma once
// The D-channel frame printer: writes one ISDN layer-3 call-control message
// as one log line (direction, protocol discriminator, call reference with
// its flag, message type by name, then each information element by name
// with its octets). Unknown or malformed elements are written as octets;
// nothing past the message is read. The ISDN signalling slots call it for
// every message they send and receive while their trace level is above 2;
// it is the only place the server decodes layer 3.

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace ISDN {

// "tx pd 08 cr 5 flag 0 SETUP | Bearer capability: 80 90 A3 | ..." and an
// end of line.
void dlogframe(std::ostream& os, char const* direction, uint8_t const* message, size_t size);

}  // namespace ISDN
