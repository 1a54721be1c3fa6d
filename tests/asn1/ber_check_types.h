#pragma once
// Records of the types of BerCheck.asn (the BER-only test module), written
// as the message generator writes them.

#include "asn1/asn1.h"

namespace BerCheck {

// ENUMERATED { not-use(-1), off, on }
extern ASN1::EnumeratedInfo const StandbyInfo;
// ENUMERATED { pcmu, gsm(3), g723(4), ptR2S(123) }
extern ASN1::EnumeratedInfo const PayloadInfo;
// SET OF INTEGER (0..255)
extern ASN1::SequenceOfInfo const& MasksInfo;
// CHOICE { n NULL, i INTEGER }
extern ASN1::ChoiceInfo const InnerInfo;
// SEQUENCE { a BOOLEAN, b Inner OPTIONAL, ... }
extern ASN1::SequenceInfo const SmallInfo;
// CHOICE { inner Inner, list SEQUENCE OF BOOLEAN, rec Small }
extern ASN1::ChoiceInfo const NestInfo;
// SEQUENCE { f0 .. f33 INTEGER (0..255) OPTIONAL }
extern ASN1::SequenceInfo const WideInfo;
// SEQUENCE { n Nest, m Masks, w Wide OPTIONAL }
extern ASN1::SequenceInfo const HolderInfo;

}  // namespace BerCheck
