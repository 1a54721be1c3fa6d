#include "cross_check_types.h"

namespace CrossCheck {

using namespace ASN1;

namespace {
char const* const colorNames[] = {"red", "green", "blue"};
char const* const numberedNames[] = {"zero", "five=5", "six", "top=123"};
}  // namespace

EnumeratedInfo const ColorInfo = {&ENUMERATED::create, 10, false, 2, colorNames, 3};
EnumeratedInfo const ColorExt::theInfo = {&createAs<ColorExt>, 10, true, 2, colorNames, 3};
EnumeratedInfo const NumberedInfo = {&ENUMERATED::create, 10, false, 123, numberedNames, 4};

ConstrainedInfo const OctetsSizedInfo = {&OCTET_STRING::create, 4, FixedConstraint, 1, 10};
ConstrainedInfo const OctetsFixed2Info = {&OCTET_STRING::create, 4, FixedConstraint, 2, 2};
ConstrainedInfo const OctetsFixed5Info = {&OCTET_STRING::create, 4, FixedConstraint, 5, 5};
StringInfo const TextSizedInfo = {
    &IA5String::create, 22, FixedConstraint, 1, 64, IA5StringSet, 128, 7, 7, 8};
StringInfo const TextSmallInfo = {
    &IA5String::create, 22, FixedConstraint, 1, 2, IA5StringSet, 128, 7, 7, 8};
StringInfo const TextFixedInfo = {
    &IA5String::create, 22, FixedConstraint, 3, 3, IA5StringSet, 128, 7, 7, 8};

namespace {
void const* const pduInfos[] = {&IntNibble::theInfo, &BOOLEAN::theInfo, &Null::theInfo};
char const* const pduNames[] = {"a", "b", "c"};
void const* const singleInfos[] = {&IntSlot::theInfo};
char const* const singleNames[] = {"only"};
void const* const pduExtInfos[] = {&BOOLEAN::theInfo, &IntSlot::theInfo, &IA5String::theInfo,
                                   &Null::theInfo, &INTEGER::theInfo};
char const* const pduExtNames[] = {"x", "y", "z", "e1", "e2"};

void const* const recInfos[] = {&INTEGER::theInfo, &IntSlot::theInfo, &BOOLEAN::theInfo,
                                &PduExt::theInfo};
int32_t const recIds[] = {0, 1, -1, -1};
char const* const recNames[] = {"seq", "slot", "flag", "pdu"};

void const* const recExtInfos[] = {&BOOLEAN::theInfo, &IntSlot::theInfo, &IntByte::theInfo,
                                   &IA5String::theInfo};
int32_t const recExtIds[] = {-1, 0, 0, 0};
char const* const recExtNames[] = {"a", "b", "c", "d"};

void const* const recExtEmptyInfos[] = {&BOOLEAN::theInfo};
int32_t const recExtEmptyIds[] = {-1};
char const* const recExtEmptyNames[] = {"a"};

void const* const listsInfos[] = {&SEQUENCE_OF<IA5String>::theInfo, &SEQUENCE_OF<Rec>::theInfo,
                                  &SEQUENCE_OF<ColorExt>::theInfo};
int32_t const listsIds[] = {-1, -1, -1};
char const* const listsNames[] = {"names", "recs", "colors"};

void const* const openInfos[] = {&IntByte::theInfo, &OpenData::theInfo};
int32_t const openIds[] = {-1, -1};
char const* const openNames[] = {"id", "body"};
}  // namespace

ChoiceInfo const PduInfo = {&CHOICE::create, 0, false, pduInfos, 3, 3, nullptr, pduNames};
ChoiceInfo const SingleInfo = {&CHOICE::create, 0, false, singleInfos, 1, 1, nullptr, singleNames};
ChoiceInfo const PduExt::theInfo = {&createAs<PduExt>, 0,          true, pduExtInfos, 3, 5,
                                    nullptr,           pduExtNames};
SequenceInfo const Rec::theInfo = {&createAs<Rec>, 16,      false,   recInfos, recIds, 4, 0, 2,
                                   nullptr,        nullptr, recNames};
SequenceInfo const RecExtInfo = {
    &SEQUENCE::create, 16, true, recExtInfos, recExtIds, 2, 2, 1, nullptr, nullptr, recExtNames};
SequenceInfo const RecExtEmptyInfo = {
    &SEQUENCE::create, 16, true, recExtEmptyInfos, recExtEmptyIds, 1, 0, 0, nullptr, nullptr,
    recExtEmptyNames};
SequenceInfo const Lists::theInfo = {
    &createAs<Lists>, 16, false, listsInfos, listsIds, 3, 0, 0, nullptr, nullptr, listsNames};
SequenceInfo const OpenInfo = {&SEQUENCE::create, 16,      false,    openInfos, openIds, 2, 0, 0,
                               nullptr,           nullptr, openNames};

NamedType const allTypes[33] = {
    {"IntRange7", &IntRange7::theInfo},
    {"IntByte", &IntByte::theInfo},
    {"IntSlot", &IntSlot::theInfo},
    {"IntWord", &IntWord::theInfo},
    {"IntBig", &IntBig::theInfo},
    {"IntU32", &IntU32::theInfo},
    {"IntSigned", &IntSigned::theInfo},
    {"IntOffset", &IntOffset::theInfo},
    {"IntWide", &IntWide::theInfo},
    {"IntExt", &IntExt::theInfo},
    {"IntUnc", &INTEGER::theInfo},
    {"Numbered", &NumberedInfo},
    {"Bool", &BOOLEAN::theInfo},
    {"Nul", &Null::theInfo},
    {"Color", &ColorInfo},
    {"ColorExt", &ColorExt::theInfo},
    {"Octets", &OCTET_STRING::theInfo},
    {"OctetsSized", &OctetsSizedInfo},
    {"OctetsFixed2", &OctetsFixed2Info},
    {"OctetsFixed5", &OctetsFixed5Info},
    {"Text", &IA5String::theInfo},
    {"TextSized", &TextSizedInfo},
    {"TextSmall", &TextSmallInfo},
    {"TextFixed", &TextFixedInfo},
    {"Pdu", &PduInfo},
    {"Single", &SingleInfo},
    {"PduExt", &PduExt::theInfo},
    {"Rec", &Rec::theInfo},
    {"RecExt", &RecExtInfo},
    {"RecExtEmpty", &RecExtEmptyInfo},
    {"List", &SEQUENCE_OF<IntSlot>::theInfo},
    {"Lists", &Lists::theInfo},
    {"Open", &OpenInfo},
};

}  // namespace CrossCheck
