#pragma once
// Fills any ASN.1 value with random contents by walking its record: every
// constraint's boundary values come up often, OPTIONAL components and
// extension additions are present or absent at random, every alternative of
// a CHOICE can be chosen. Deterministic for a given seed.

#include <cstdint>
#include <random>

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
    // Largest element count of a SEQUENCE OF (default 4).
    void setMaxElements(unsigned n) { maxElements_ = n; }

    uint32_t next() { return rng_(); }
    unsigned below(unsigned n) { return n ? unsigned(rng_() % n) : 0; }
    bool chance(unsigned percent) { return below(100) < percent; }
    // A count in [lb, ub]: often a bound, otherwise up to `cap` above lb.
    unsigned size(unsigned lb, unsigned ub, unsigned cap);
    // An INTEGER value within the record's constraint.
    int integer(ASN1::INTEGER const& v);

private:
    std::mt19937 rng_;
    void const* openTypeInfo_ = &ASN1::INTEGER::theInfo;
    unsigned maxElements_ = 4;
};

}  // namespace ASN1Oracle
