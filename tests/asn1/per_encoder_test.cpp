// Aligned PER encoder: the octets of each construct, written out.

#include <gtest/gtest.h>

#include <iterator>

#include "asn1/asn1.h"
#include "cross_check_types.h"
#include "tests/support/oracle/erlang_oracle.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;
using ASN1Oracle::hex;

std::string encoded(AbstractData const& value) {
    std::vector<char> out;
    PEREncoder encoder(out, true);
    if (!value.accept(encoder)) return "fail";
    return hex(out);
}

template <class Int>
std::string encodedInt(int value) {
    Int v;
    v.setValue(value);
    return encoded(v);
}

// CHOICE of three BOOLEAN roots and one BOOLEAN extension addition.
void const* const boolChoiceInfos[] = {&BOOLEAN::theInfo, &BOOLEAN::theInfo, &BOOLEAN::theInfo,
                                       &BOOLEAN::theInfo};
char const* const boolChoiceNames[] = {"a", "b", "c", "d"};
ChoiceInfo const boolChoice = {&CHOICE::create, 0, true, boolChoiceInfos, 3, 4, nullptr,
                               boolChoiceNames};

TEST(PerEncoder, PacksSuccessiveValuesIntoOneOctet) {
    std::vector<char> out;
    PEREncoder encoder(out, true);
    BOOLEAN yes(true, &BOOLEAN::theInfo), no(false, &BOOLEAN::theInfo);
    Null null;
    ASSERT_TRUE(yes.accept(encoder) && null.accept(encoder) && no.accept(encoder));
    EXPECT_EQ("80", hex(out));
}

TEST(PerEncoder, WritesConstrainedIntegersInTheWidthOfTheirRange) {
    EXPECT_EQ("0005", encodedInt<IntSlot>(5));
    EXPECT_EQ("05", encodedInt<IntByte>(5));
    EXPECT_EQ("A0", encodedInt<IntRange7>(5));  // 3 bits, no alignment
    EXPECT_EQ("0000", encodedInt<IntU32>(0));   // 2-bit octet count, align, one octet
    EXPECT_EQ("C0FFFFFFFF", encodedInt<IntU32>(-1));
    EXPECT_EQ("7B", encodedInt<IntSigned>(-5));
    EXPECT_EQ("00", encodedInt<IntSigned>(-128));
    EXPECT_EQ("FF", encodedInt<IntSigned>(127));
    EXPECT_EQ("fail", encodedInt<IntSigned>(-129));
    EXPECT_EQ("fail", encodedInt<IntSigned>(128));
    EXPECT_EQ("fail", encodedInt<IntSlot>(1024));
    EXPECT_EQ("0000", encodedInt<IntOffset>(20));
}

TEST(PerEncoder, WritesUnconstrainedIntegersAsTwosComplementWithALength) {
    EXPECT_EQ("01FF", encodedInt<INTEGER>(-1));
    EXPECT_EQ("02FF7F", encodedInt<INTEGER>(-129));
    EXPECT_EQ("020080", encodedInt<INTEGER>(128));
    EXPECT_EQ("0100", encodedInt<INTEGER>(0));
    EXPECT_EQ("0480000000", encodedInt<INTEGER>(INT32_MIN));
}

TEST(PerEncoder, WritesNormallySmallNumbersAndLengths) {
    std::vector<char> out;
    PEREncoder small(out, true);
    small.encodeSmallUnsigned(63);
    EXPECT_EQ("7E", hex(out));  // 0 then six 1 bits
    PEREncoder large(out, true);
    large.encodeSmallUnsigned(64);
    EXPECT_EQ("800140", hex(out));
    for (auto [n, bytes] :
         {std::pair<unsigned, char const*>{127, "7F"}, {128, "8080"}, {16383, "BFFF"}}) {
        PEREncoder length(out, true);
        ASSERT_TRUE(length.encodeLength(n, 0, 0x7fffffff));
        EXPECT_EQ(bytes, hex(out));
    }
    PEREncoder tooLong(out, true);
    EXPECT_FALSE(tooLong.encodeLength(16384, 0, 0x7fffffff));
}

TEST(PerEncoder, WritesEnumerationsByTheirNumber) {
    // Items numbered -1, 0, 1: the number is sent, -1 cannot be.
    char const* const names[] = {"not-use=-1", "off", "on"};
    EnumeratedInfo const standby = {&ENUMERATED::create, 10, false, 1, names, 3};
    ENUMERATED e(&standby);
    e.setFromInt(1);
    EXPECT_EQ("80", encoded(e));
    e.setFromInt(0);
    EXPECT_EQ("00", encoded(e));
    e.setFromInt(-1);
    EXPECT_EQ("fail", encoded(e));
    ENUMERATED numbered(&NumberedInfo);
    numbered.setFromInt(123);
    EXPECT_EQ("F6", encoded(numbered));  // 7 bits
    ColorExt color;
    color.setFromInt(2);
    EXPECT_EQ("40", encoded(color));  // extension bit 0, then 2 in 2 bits
}

TEST(PerEncoder, WritesAnEnumerationValueBeyondTheRootInTheRuntimesOwnForm) {
    // Extension bit 1, the normally small number 6 (value + 1), then 5 in
    // the 3 bits of the range 0..5; the decoder reads exactly this back.
    ColorExt color;
    color.setFromInt(5);
    EXPECT_EQ("86A0", encoded(color));
    ColorExt back;
    std::vector<char> const in{char(0x86), char(0xA0)};
    PERDecoder decoder(in.data(), in.data() + in.size());
    ASSERT_TRUE(back.accept(decoder));
    EXPECT_EQ(5, back.asInt());
}

TEST(PerEncoder, WritesTheExampleSequenceAndChoices) {
    SEQUENCE seq(&RecExtInfo);
    static_cast<BOOLEAN&>(*seq.getField(0)) = true;
    seq.includeOptionalField(0, 1);
    static_cast<INTEGER&>(*seq.getField(1)) = 5;
    EXPECT_EQ("600005", encoded(seq));

    CHOICE choice(&boolChoice);
    ASSERT_TRUE(choice.select(1));
    EXPECT_EQ("20", encoded(choice));
    ASSERT_TRUE(choice.select(3));
    static_cast<BOOLEAN&>(*choice.getSelection()) = true;
    EXPECT_EQ("800180", encoded(choice));

    CHOICE single(&SingleInfo);
    ASSERT_TRUE(single.select(0));
    static_cast<INTEGER&>(*single.getSelection()) = 7;
    EXPECT_EQ("0007", encoded(single));  // no index bits before the alternative
}

TEST(PerEncoder, WritesAnEmptyOpenTypeAsOneZeroOctet) {
    OpenData empty;
    EXPECT_EQ("0100", encoded(empty));
    OpenData received;
    received.grab(new std::vector<char>{1, 2, 3});
    EXPECT_EQ("0100", encoded(received));  // raw octets are never sent back
    PduExt nothing;
    ASSERT_TRUE(nothing.select(3));  // e1 NULL, an extension addition
    EXPECT_EQ("800100", encoded(nothing));
}

TEST(PerEncoder, FailsAChoiceWithoutAValidSelection) {
    PduExt none;
    EXPECT_EQ("fail", encoded(none));
    EXPECT_FALSE(none.select(9));
    EXPECT_TRUE(none.isUnknownSelection());
    EXPECT_EQ("fail", encoded(none));
    Rec rec;  // its mandatory pdu has no selection
    EXPECT_EQ("fail", encoded(rec));
}

TEST(PerEncoder, NeverSendsBitsPastTheSizeOfABitString) {
    BIT_STRING bits;
    bits.resize(12);
    bits.getData() = {char(0xFF), char(0xFF)};
    // length 12 (octet), then 12 bits aligned: FF F0, not FF FF.
    EXPECT_EQ("0CFFF0", encoded(bits));
}

TEST(PerEncoder, ReencodesADecodedSequenceWithUnknownAdditionsAsAValidValueOfThisVersion) {
    // A newer peer's RecExt with a third addition e: present c and e.
    void const* const newerInfos[] = {&BOOLEAN::theInfo, &IntSlot::theInfo, &IntByte::theInfo,
                                      &IA5String::theInfo, &BOOLEAN::theInfo};
    int32_t const newerIds[] = {-1, 0, 0, 0, 0};
    char const* const newerNames[] = {"a", "b", "c", "d", "e"};
    SequenceInfo const newer = {
        &SEQUENCE::create, 16, true, newerInfos, newerIds, 2, 3, 1, nullptr, nullptr, newerNames};
    SEQUENCE sent(&newer);
    sent.includeOptionalField(1, 2);
    static_cast<INTEGER&>(*sent.getField(2)) = 9;
    sent.includeOptionalField(3, 4);
    std::string const wire = encoded(sent);
    EXPECT_EQ(
        "80A8"
        "0109"
        "0100",
        wire);

    std::vector<char> octets;
    for (std::size_t i = 0; i < wire.size(); i += 2)
        octets.push_back(char(std::stoi(wire.substr(i, 2), nullptr, 16)));
    SEQUENCE known(&RecExtInfo);
    PERDecoder decoder(octets.data(), octets.data() + octets.size());
    ASSERT_TRUE(known.accept(decoder));

    SEQUENCE expected(&RecExtInfo);
    expected.includeOptionalField(1, 2);
    static_cast<INTEGER&>(*expected.getField(2)) = 9;
    EXPECT_EQ(
        "8060"
        "0109",
        encoded(expected));
    EXPECT_EQ(encoded(expected), encoded(known));
}

TEST(PerEncoder, WritesNoExtensionBitmapWhenAnAdditionWasIncludedAndRemoved) {
    SEQUENCE seq(&RecExtInfo);
    static_cast<BOOLEAN&>(*seq.getField(0)) = true;
    seq.includeOptionalField(2, 3);
    seq.removeOptionalField(2);
    EXPECT_EQ("20", encoded(seq));  // extension bit 0, presence 0, a = 1
}

TEST(CoderEnv, EncodesOnlyWithAKnownRule) {
    Rec rec;
    rec.ref_pdu().select_y() = 3u;
    CoderEnv env;
    env.set_encodingRule(CoderEnv::EncodingRules(7));
    std::vector<char> out{'x'};
    EXPECT_FALSE(encode(rec, &env, std::back_inserter(out)));
    EXPECT_EQ(1u, out.size());
    char const octet = 0;
    EXPECT_FALSE(decode(&octet, &octet + 1, &env, rec, true));
}

TEST(CoderEnv, AppendsTheEncodingAfterWhatTheVectorHeld) {
    Rec rec;
    rec.ref_pdu().select_y() = 3u;
    CoderEnv env;
    env.set_encodingRule(CoderEnv::per_Aligned);
    std::vector<char> out{'x', 'y'};
    ASSERT_TRUE(encode(rec, &env, std::back_inserter(out)));
    // presence 00, flag 0, extension bit 0, index 01, align, 3 in 16 bits.
    EXPECT_EQ(
        "7879"
        "04"
        "0003",
        hex(out));
    Rec back, backWithEnv;
    EXPECT_TRUE(decode(out.data() + 2, out.data() + out.size(), &env, back, true));
    EXPECT_TRUE(decode(out.data() + 2, out.data() + out.size(), &env, backWithEnv, false));
    EXPECT_EQ(0, back.compare(rec));
    EXPECT_EQ(0, backWithEnv.compare(rec));
}

TEST(CoderEnv, WritesValueNotationWithRuleZero) {
    BOOLEAN yes(true, &BOOLEAN::theInfo);
    CoderEnv env;
    env.set_encodingRule(CoderEnv::avn);
    std::vector<char> out;
    ASSERT_TRUE(env.encode(yes, std::back_inserter(out)));
    EXPECT_EQ("TRUE", std::string(out.begin(), out.end()));
    PduExt none;
    EXPECT_FALSE(env.encode(none, std::back_inserter(out)));
    EXPECT_EQ(4u, out.size());
}

}  // namespace
