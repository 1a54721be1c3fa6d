#pragma once
// Type-information records: the static, read-only description of an ASN.1
// type (tag, constraint, components, names) that every value points to.
// The generated message modules fill these structures in statically, field
// by field in the order given here; the coders read them and never depend
// on generated code.

#include <cstdint>

namespace ASN1 {

class AbstractData;

// Makes a new default value bound to the record at `info`; the caller owns it.
using CreateFunction = AbstractData* (*)(void const* info);

enum ConstraintType : int32_t {
    Unconstrained = 0,
    PartiallyConstrained = 1,  // lower bound only
    FixedConstraint = 2,       // lower and upper bound
    ExtendableConstraint = 3,  // bounds with an extension marker
};

// Tag word: bits 16..23 the class bits of a BER identifier octet, bits 0..15
// the tag number; [i] in automatic tagging is ContextTag | i.
constexpr uint32_t ContextTag = 0x800000u;

// Null, BOOLEAN, OBJECT IDENTIFIER, GeneralizedTime, OpenData.
struct BasicInfo {
    CreateFunction create;
    uint32_t tag;
};

// INTEGER, BIT STRING, OCTET STRING; bounds of the value or of the size.
struct ConstrainedInfo {
    CreateFunction create;
    uint32_t tag;
    int32_t type;  // ConstraintType
    int32_t lowerLimit;
    uint32_t upperLimit;  // 0xFFFFFFFF when unconstrained
};

struct NameEntry {
    int32_t value;
    char const* name;
};

// INTEGER with named numbers; entries sorted by ascending value.
struct NamedNumberInfo {
    CreateFunction create;
    uint32_t tag;
    int32_t type;
    int32_t lowerLimit;
    uint32_t upperLimit;
    NameEntry const* entries;
    uint32_t entryCount;
};

// ENUMERATED. `names` lists one entry per item in declaration order; an item
// with an explicit number is stored as "name=number". Item numbers: the
// explicit number, else the previous item's number plus 1 (the first 0).
// `nameCount` is the number of entries in `names`, so that a lookup never
// reads past the array.
struct EnumeratedInfo {
    CreateFunction create;
    uint32_t tag;
    bool extendable;
    int32_t maximum;
    char const* const* names;
    uint32_t nameCount;
};

// 8-bit character strings; bounds count characters.
struct StringInfo {
    CreateFunction create;
    uint32_t tag;
    int32_t type;
    int32_t lowerLimit;
    uint32_t upperLimit;
    char const* characterSet;   // permitted characters in canonical order
    uint32_t characterSetSize;  // 0: every character permitted
    uint32_t canonicalSetBits;
    uint32_t numBitsUnaligned;
    uint32_t numBitsAligned;
};

struct BMPStringInfo {
    CreateFunction create;
    uint32_t tag;
    int32_t type;
    int32_t lowerLimit;
    uint32_t upperLimit;
    uint32_t firstChar;
    uint32_t lastChar;
    uint32_t numBitsUnaligned;
    uint32_t numBitsAligned;
};

struct ChoiceInfo {
    CreateFunction create;
    uint32_t tag;
    bool extendable;
    void const* const* selectionInfos;  // root alternatives, then additions
    uint32_t numChoices;                // root alternatives
    uint32_t totalChoices;              // entries in selectionInfos
    uint32_t const* tags;               // null: automatic tags
    char const* const* selectionNames;
};

struct SequenceInfo {
    CreateFunction create;
    uint32_t tag;
    bool extendable;
    void const* const* fieldInfos;  // root components, then known additions
    int32_t const* fieldIds;        // -1 mandatory, else presence-bit number
    uint32_t numRootFields;
    uint32_t numKnownExtensions;
    uint32_t numOptionals;
    unsigned char const* nonOptionalExtensions;  // packed bits, or null
    uint32_t const* tags;                        // null: automatic; &SEQUENCE::defaultTag: own tags
    char const* const* fieldNames;
};

// SEQUENCE OF and SET OF; bounds of the element count.
struct SequenceOfInfo {
    CreateFunction create;
    uint32_t tag;
    int32_t type;
    int32_t lowerLimit;
    uint32_t upperLimit;
    void const* elementInfo;
};

// Open type whose inner type is fixed.
struct TypeConstrainedOpenInfo {
    CreateFunction create;
    uint32_t tag;
    void const* innerInfo;
};

}  // namespace ASN1
