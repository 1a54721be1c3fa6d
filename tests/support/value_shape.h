#pragma once
// Compares two ASN.1 values down to what the coders and comparisons never
// look at: the components behind cleared presence bits, the length of an
// extension bitmap, whether an absent component has a value at all. Two
// values of the same shape are interchangeable in every respect; the
// renewing decode is checked with it against a fresh one.

#include <string>

#include "asn1/asn1.h"

namespace support {

// Empty when the values have the same class, record and contents in every
// part; otherwise the path to the first difference and what differs there.
std::string shapeDifference(ASN1::AbstractData const& a, ASN1::AbstractData const& b);

}  // namespace support
