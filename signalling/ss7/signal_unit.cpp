#include "signalling/ss7/signal_unit.h"

#include <cstring>

namespace Ss7 {

namespace {

uint8_t const sequence_mask = 0x7F;
uint8_t const indicator_bit = 0x80;
uint8_t const length_mask = 0x3F;
uint8_t const long_length = 63;

}  // namespace

ParseResult Parse(uint8_t const* frame, size_t size, SignalUnit& unit) {
    if (size < header_size) return ParseResult::too_short;
    size_t const after = size - header_size;
    size_t const li = frame[2] & length_mask;
    // The indicator counts the octets after the header, up to 63.
    if (after > max_msu || li != (after < long_length ? after : long_length))
        return ParseResult::bad_length;
    SignalUnit parsed;
    parsed.bsn = frame[0] & sequence_mask;
    parsed.bib = frame[0] & indicator_bit;
    parsed.fsn = frame[1] & sequence_mask;
    parsed.fib = frame[1] & indicator_bit;
    if (after == 0) {
        parsed.kind = SignalUnit::fisu;
    } else if (after <= 2) {
        // The status is in the first octet's low three bits; a second
        // octet, when there is one, carries nothing this link reads.
        uint8_t const status = frame[3] & 0x07;
        if (status > uint8_t(Status::sib)) return ParseResult::unknown_status;
        parsed.kind = SignalUnit::lssu;
        parsed.status = Status(status);
    } else {
        parsed.kind = SignalUnit::msu;
        parsed.payload = frame + header_size;
        parsed.payload_size = after;
    }
    unit = parsed;
    return ParseResult::good;
}

size_t Build(SignalUnit const& unit, uint8_t* out) {
    out[0] = uint8_t((unit.bsn & sequence_mask) | (unit.bib ? indicator_bit : 0));
    out[1] = uint8_t((unit.fsn & sequence_mask) | (unit.fib ? indicator_bit : 0));
    switch (unit.kind) {
        case SignalUnit::fisu:
            out[2] = 0;
            return header_size;
        case SignalUnit::lssu:
            out[2] = 1;
            out[3] = uint8_t(unit.status);
            return header_size + 1;
        case SignalUnit::msu:
            break;
    }
    out[2] = uint8_t(unit.payload_size < long_length ? unit.payload_size : long_length);
    std::memcpy(out + header_size, unit.payload, unit.payload_size);
    return header_size + unit.payload_size;
}

char const* StatusName(Status status) {
    static char const* const names[] = {"SIO", "SIN", "SIE", "SIOS", "SIPO", "SIB"};
    return names[uint8_t(status)];
}

std::ostream& operator<<(std::ostream& os, SignalUnit const& unit) {
    static char const* const kinds[] = {"FISU", "LSSU", "MSU"};
    os << kinds[unit.kind];
    if (unit.kind == SignalUnit::lssu) os << ' ' << StatusName(unit.status);
    os << " bsn " << unsigned(unit.bsn) << '/' << unit.bib << " fsn " << unsigned(unit.fsn)
       << '/' << unit.fib;
    if (unit.kind == SignalUnit::msu) os << " octets " << unit.payload_size;
    return os;
}

}  // namespace Ss7
