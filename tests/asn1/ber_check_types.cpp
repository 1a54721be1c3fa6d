#include "ber_check_types.h"

#include "cross_check_types.h"

namespace BerCheck {

using namespace ASN1;
using CrossCheck::IntByte;
using Masks = SET_OF<IntByte>;

namespace {
char const* const standbyNames[] = {"not-use=-1", "off", "on"};
char const* const payloadNames[] = {"pcmu", "gsm=3", "g723=4", "ptR2S=123"};

void const* const innerInfos[] = {&Null::theInfo, &INTEGER::theInfo};
char const* const innerNames[] = {"n", "i"};
}  // namespace

EnumeratedInfo const StandbyInfo = {&ENUMERATED::create, 10, false, 1, standbyNames, 3};
EnumeratedInfo const PayloadInfo = {&ENUMERATED::create, 10, false, 123, payloadNames, 4};
SequenceOfInfo const& MasksInfo = Masks::theInfo;
ChoiceInfo const InnerInfo = {&CHOICE::create, 0, false, innerInfos, 2, 2, nullptr, innerNames};

namespace {
void const* const smallInfos[] = {&BOOLEAN::theInfo, &InnerInfo};
int32_t const smallIds[] = {-1, 0};
char const* const smallNames[] = {"a", "b"};

void const* const nestInfos[] = {&InnerInfo, &SEQUENCE_OF<BOOLEAN>::theInfo, &SmallInfo};
char const* const nestNames[] = {"inner", "list", "rec"};

void const* const wideInfos[34] = {
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo,
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo,
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo,
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo,
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo,
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo,
    &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo, &IntByte::theInfo};
int32_t const wideIds[34] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                             17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33};
char const* const wideNames[34] = {"f0",  "f1",  "f2",  "f3",  "f4",  "f5",  "f6",  "f7",  "f8",
                                   "f9",  "f10", "f11", "f12", "f13", "f14", "f15", "f16", "f17",
                                   "f18", "f19", "f20", "f21", "f22", "f23", "f24", "f25", "f26",
                                   "f27", "f28", "f29", "f30", "f31", "f32", "f33"};

void const* const holderInfos[] = {&NestInfo, &Masks::theInfo, &WideInfo};
int32_t const holderIds[] = {-1, -1, 0};
char const* const holderNames[] = {"n", "m", "w"};
}  // namespace

SequenceInfo const SmallInfo = {
    &SEQUENCE::create, 16, true, smallInfos, smallIds, 2, 0, 1, nullptr, nullptr, smallNames};
ChoiceInfo const NestInfo = {&CHOICE::create, 0, false, nestInfos, 3, 3, nullptr, nestNames};
SequenceInfo const WideInfo = {&SEQUENCE::create, 16,      false,    wideInfos, wideIds, 34, 0, 34,
                               nullptr,           nullptr, wideNames};
SequenceInfo const HolderInfo = {
    &SEQUENCE::create, 16, false, holderInfos, holderIds, 3, 0, 1, nullptr, nullptr, holderNames};

}  // namespace BerCheck
