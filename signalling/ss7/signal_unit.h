#pragma once
// The signal units of an SS7 signalling link as the HDLC channel carries them
// (flags and CRC are the driver's): octet 0 the backward sequence number in
// its low seven bits and the backward indicator bit on top, octet 1 the
// forward sequence number and indicator bit likewise, octet 2 the length
// indicator in its low six bits, then the status field of a link status unit
// (one octet) or the service information octet and signalling information
// field of a message unit. The length indicator is 0 for a fill-in unit, 1
// or 2 for a status unit, the octet count after it for a message unit, and
// 63 for message units of 63 octets and more. Parse and Build are the one
// codec of this format: the link, its tests and the test peer all use them.

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace Ss7 {

// The status of a link status unit.
enum class Status : uint8_t {
    sio = 0,   // out of alignment
    sin = 1,   // normal alignment
    sie = 2,   // emergency alignment
    sios = 3,  // out of service
    sipo = 4,  // processor outage
    sib = 5,   // busy
};

inline constexpr size_t header_size = 3;
// A message unit: the service information octet and 2 to 272 octets of
// signalling information.
inline constexpr size_t min_msu = 3;
inline constexpr size_t max_msu = 273;
inline constexpr size_t max_unit = header_size + max_msu;

struct SignalUnit {
    enum Kind : uint8_t { fisu, lssu, msu };

    Kind kind = fisu;
    uint8_t bsn = 0;
    bool bib = false;
    uint8_t fsn = 0;
    bool fib = false;
    Status status = Status::sio;     // a status unit's
    uint8_t const* payload = nullptr;  // a message unit's octets after the header
    size_t payload_size = 0;
};

// What a received frame is; `unit` is set only for a good one. A message
// unit points into the frame.
enum class ParseResult { good, too_short, bad_length, unknown_status };

ParseResult Parse(uint8_t const* frame, size_t size, SignalUnit& unit);

// Writes the unit's octets to `out` (room for max_unit); their count.
size_t Build(SignalUnit const& unit, uint8_t* out);

char const* StatusName(Status status);

// "FISU bsn 127/1 fsn 127/1", "LSSU SIN ...", "MSU ... li 12"
std::ostream& operator<<(std::ostream& os, SignalUnit const& unit);

}  // namespace Ss7
