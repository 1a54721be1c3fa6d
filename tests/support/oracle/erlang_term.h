#pragma once
// The Erlang term that Erlang/OTP's ASN.1 runtime (compiled with +maps)
// uses for a value: SEQUENCE as a map of present components, CHOICE as
// {alternative, value}, ENUMERATED as the item's atom (or its number when
// the type numbers its items: the oracle module then declares an INTEGER of
// the same range), strings as lists, octets and open types as binaries.

#include <string>

#include "asn1/asn1.h"

namespace ASN1Oracle {

// How component and alternative names become atoms: as they stand, or with
// each run of "_" turned into one "-" (the Erlang copies of the message
// modules, whose names may not hold "_").
enum class Names { AsIs, Dashed };

// False when the value has no term (a CHOICE without selection, ...).
bool erlangTerm(ASN1::AbstractData const& value, std::string& out, Names names = Names::AsIs);

// 'name' quoted as an Erlang atom.
std::string erlangAtom(char const* name, Names names = Names::AsIs);

}  // namespace ASN1Oracle
