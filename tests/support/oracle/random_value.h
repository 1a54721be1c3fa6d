#pragma once
// Fills any ASN.1 value with random contents by walking its record. What has
// not been seen yet comes first: a CHOICE takes each of its alternatives in
// turn before choosing at random, an OPTIONAL component or extension
// addition is present and absent before its presence is random, and every
// value or size constraint gives its lower and upper bound before values in
// between. The marks are kept per record for the life of the generator, so
// a batch of values covers every record it reaches; gaps() names what was
// still never chosen. Deterministic for a given seed.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "asn1/asn1.h"

namespace ASN1Oracle {

class RandomValue {
public:
    explicit RandomValue(uint32_t seed) : rng_(seed) {}

    // Replaces the contents of `value` (of any type) with random ones.
    void fill(ASN1::AbstractData& value, int depth = 0);
    // A new random value of the type of `info`.
    ASN1::AbstractData* make(void const* info);

    // Type of the values put into open types (default: unconstrained INTEGER).
    void setOpenTypeInfo(void const* info) { openTypeInfo_ = info; }

    uint32_t next() { return rng_(); }
    unsigned below(unsigned n) { return n ? unsigned(rng_() % n) : 0; }
    bool chance(unsigned percent) { return below(100) < percent; }

    // Coverage of the records met so far: one line per CHOICE alternative
    // never chosen, per OPTIONAL component or extension addition never
    // present or never absent, per bound of a constraint never produced.
    std::vector<std::string> gaps() const;

    // Used by the walk: the next alternative of a CHOICE record, presence of
    // optional `opt` of a SEQUENCE record, a count in [lb, ub] (often a bound,
    // otherwise up to `cap` above lb), an INTEGER within its constraint.
    unsigned alternative(void const* record, unsigned total);
    // Index of an ENUMERATED item among `total` usable ones.
    unsigned item(void const* record, unsigned total);
    bool presence(void const* record, unsigned opt, unsigned total, unsigned percent);
    unsigned size(void const* record, unsigned lb, unsigned ub, unsigned cap);
    int integer(ASN1::INTEGER const& v);

private:
    enum Mark : uint8_t { Absent = 1, Present = 2, Lower = 1, Upper = 2, Chosen = 1 };
    struct Seen {
        enum Kind { Choice, Items, Optionals, Bounds } kind;
        std::vector<uint8_t> marks;
    };
    Seen& seen(void const* record, Seen::Kind kind, unsigned n);
    unsigned firstUnseen(Seen& s, unsigned total);

    std::mt19937 rng_;
    void const* openTypeInfo_ = &ASN1::INTEGER::theInfo;
    std::map<void const*, Seen> seen_;
};

}  // namespace ASN1Oracle
