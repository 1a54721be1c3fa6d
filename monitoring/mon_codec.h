#pragma once
// The coding of the SNMP agent link: every frame carries one MON::Message in
// aligned PER, as the control link carries LGCP. The agent links, the
// monitoring state (which sizes and tells apart values by their encoding) and
// the tests use these two calls.

#include <vector>

#include "messages/mon/mon.h"

namespace MonCodec {

// The aligned-PER encoding of a MON value; false (and nothing) when it has none.
bool Encode(ASN1::AbstractData const& value, std::vector<char>& octets);
// A whole frame as one message; false when it does not decode.
bool Decode(char const* data, int length, MON::Message& message);

}  // namespace MonCodec
