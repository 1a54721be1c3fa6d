#pragma once
// Records of the types of CrossCheck.asn, written as the message generator
// writes them: constant tables, typed view classes whose tables create
// objects of their own class.

#include "asn1/asn1.h"

namespace CrossCheck {

using IntRange7 = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 7>;
using IntByte = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 255>;
using IntSlot = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023>;
using IntWord = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 65535>;
using IntBig = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 65536>;
using IntU32 = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 4294967295u>;
using IntSigned = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127>;
using IntOffset = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 20, 1000>;
using IntWide = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -100000, 100000>;
using IntExt = ASN1::Constrained_INTEGER<ASN1::ExtendableConstraint, 0, 1023>;
using IntNibble = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 15>;

// Every type of the module, by its name there.
struct NamedType {
    char const* name;
    void const* info;
};
extern NamedType const allTypes[33];

extern ASN1::EnumeratedInfo const ColorInfo;
// Items numbered 0, 5, 6, 123 (explicit numbers and one counted on).
extern ASN1::EnumeratedInfo const NumberedInfo;
extern ASN1::ConstrainedInfo const OctetsSizedInfo;
extern ASN1::ConstrainedInfo const OctetsFixed2Info;
extern ASN1::ConstrainedInfo const OctetsFixed5Info;
extern ASN1::StringInfo const TextSizedInfo;
extern ASN1::StringInfo const TextSmallInfo;
extern ASN1::StringInfo const TextFixedInfo;
extern ASN1::ChoiceInfo const PduInfo;
extern ASN1::ChoiceInfo const SingleInfo;
extern ASN1::SequenceInfo const RecExtInfo;
extern ASN1::SequenceInfo const RecExtEmptyInfo;
extern ASN1::SequenceInfo const OpenInfo;

class ColorExt : public ASN1::ENUMERATED {
public:
    static ASN1::EnumeratedInfo const theInfo;
    explicit ColorExt(void const* info = &theInfo) : ENUMERATED(info) {}
};

// CHOICE { x BOOLEAN, y INTEGER (0..1023), z IA5String, ..., e1 NULL, e2 INTEGER }
class PduExt : public ASN1::CHOICE {
public:
    static ASN1::ChoiceInfo const theInfo;
    explicit PduExt(void const* info = &theInfo) : CHOICE(info) {}
    IntSlot& select_y() {
        return static_cast<IntSlot&>(
            *setSelection(1, ASN1::AbstractData::create(&IntSlot::theInfo)));
    }
};

// SEQUENCE { seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, flag BOOLEAN, pdu PduExt }
class Rec : public ASN1::SEQUENCE {
public:
    static ASN1::SequenceInfo const theInfo;
    explicit Rec(void const* info = &theInfo) : SEQUENCE(info) {}
    PduExt& ref_pdu() { return static_cast<PduExt&>(*getField(3)); }
    void set_slot(unsigned v) {
        includeOptionalField(1, 1);
        static_cast<IntSlot&>(*getField(1)) = v;
    }
    IntSlot const& get_slot() const { return static_cast<IntSlot const&>(*getField(1)); }
};

// SEQUENCE { names SEQUENCE OF IA5String, recs SEQUENCE OF Rec, colors SEQUENCE OF ColorExt }
class Lists : public ASN1::SEQUENCE {
public:
    static ASN1::SequenceInfo const theInfo;
    explicit Lists(void const* info = &theInfo) : SEQUENCE(info) {}
    ASN1::SEQUENCE_OF<Rec>& ref_recs() {
        return static_cast<ASN1::SEQUENCE_OF<Rec>&>(*getField(1));
    }
};

}  // namespace CrossCheck
