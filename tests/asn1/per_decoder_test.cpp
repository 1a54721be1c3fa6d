// Aligned PER decoder: limits, failures on bad input, and the reading of
// the worked examples.

#include <gtest/gtest.h>

#include <memory>

#include "asn1/asn1.h"
#include "cross_check_types.h"
#include "tests/support/oracle/erlang_oracle.h"
#include "tests/support/oracle/random_value.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

std::vector<char> octets(std::string const& hex) {
    std::vector<char> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

bool decodes(std::string const& hex, AbstractData& value) {
    std::vector<char> const in = octets(hex);
    PERDecoder decoder(in.data(), in.data() + in.size());
    return value.accept(decoder);
}

std::string encoded(AbstractData const& value) {
    std::vector<char> out;
    PEREncoder encoder(out, true);
    return value.accept(encoder) ? ASN1Oracle::hex(out) : "fail";
}

int createdSlots = 0;
AbstractData* countedSlot(void const* info) {
    ++createdSlots;
    return new IntSlot(info);
}
ConstrainedInfo const countedSlotInfo = {&countedSlot, 2, FixedConstraint, 0, 1023};
SequenceOfInfo const countedList = {&SEQUENCE_OF_Base::create, 16, Unconstrained, 0, 0xFFFFFFFFu,
                                    &countedSlotInfo};
int createdFlags = 0;
AbstractData* countedFlag(void const* info) {
    ++createdFlags;
    return new BOOLEAN(info);
}
BasicInfo const countedFlagInfo = {&countedFlag, 1};
SequenceOfInfo const countedFlags = {&SEQUENCE_OF_Base::create, 16, Unconstrained, 0, 0xFFFFFFFFu,
                                     &countedFlagInfo};

TEST(PerDecoder, FailsEmptyInputForValuesThatNeedBits) {
    BOOLEAN b;
    EXPECT_FALSE(decodes("", b));
    PduExt choice;
    EXPECT_FALSE(decodes("", choice));
    SEQUENCE seq(&RecExtEmptyInfo);
    EXPECT_FALSE(decodes("", seq));
    ENUMERATED color(&ColorInfo);
    EXPECT_FALSE(decodes("", color));
}

TEST(PerDecoder, ReadsMissingTrailingBitsAsZeros) {
    IntSlot slot;
    slot = 77u;
    EXPECT_TRUE(decodes("", slot));  // cut off before the number: the lower bound
    EXPECT_EQ(0u, slot.getValue());
    PERDecoder decoder(nullptr, nullptr);
    EXPECT_EQ(0, decoder.decodeSingleBit());
    // Rec's last field is a root index of PduExt: "40" leaves its
    // alternative's bits (a BOOLEAN after x) to the missing tail.
    Rec rec;
    EXPECT_TRUE(decodes("02", rec));  // presence 00, flag 0, ext 0, index 00 (x), x = 0 (missing)
    EXPECT_EQ(0, rec.ref_pdu().currentSelection());
}

TEST(PerDecoder, LimitsSequenceOfTo128Elements) {
    createdSlots = 0;
    SEQUENCE_OF_Base list(&countedList);
    EXPECT_FALSE(decodes("8081" + std::string(129 * 4, '0'), list));
    EXPECT_EQ(0, createdSlots);
    EXPECT_TRUE(decodes("8080" + std::string(128 * 4, '0'), list));
    EXPECT_EQ(128u, list.size());
}

TEST(PerDecoder, CreatesSequenceOfElementsOnlyAsTheyAreRead) {
    createdFlags = 0;
    SEQUENCE_OF_Base list(&countedFlags);
    // 100 elements announced, eight present, then the input ends.
    EXPECT_FALSE(
        decodes("64"
                "C0",
                list));
    EXPECT_EQ(9, createdFlags);
    ASSERT_EQ(8u, list.size());
    EXPECT_TRUE(bool(*static_cast<BOOLEAN const*>(list.at(1))));
    EXPECT_FALSE(bool(*static_cast<BOOLEAN const*>(list.at(2))));
}

TEST(PerDecoder, LimitsStringsTo16384Octets) {
    ConstrainedInfo const big = {&OCTET_STRING::create, 4, FixedConstraint, 0, 20000};
    OCTET_STRING s(&big);
    // 0..20000 takes a 2-octet length; 16385 fails, 16384 is taken.
    EXPECT_FALSE(decodes("4001" + std::string(16385 * 2, 'A'), s));
    EXPECT_TRUE(decodes("4000" + std::string(16384 * 2, 'A'), s));
    EXPECT_EQ(16384u, s.size());
    OCTET_STRING unbounded;
    EXPECT_FALSE(decodes("C001AA", unbounded));  // "11": fragmented form
    BIT_STRING bits(&big);
    EXPECT_FALSE(decodes("4001" + std::string(4096, 'F'), bits));
}

TEST(PerDecoder, LimitsIntegersToFourOctets) {
    INTEGER i;
    EXPECT_FALSE(decodes("050102030405", i));
    EXPECT_TRUE(decodes("0480000000", i));
    EXPECT_EQ(INT32_MIN, i.getValue());
    IntSigned s;
    EXPECT_TRUE(decodes("7B", s));
    EXPECT_EQ(-5, s.INTEGER::getValue());
    EXPECT_TRUE(decodes("00", s));
    EXPECT_EQ(-128, s.INTEGER::getValue());
    EXPECT_TRUE(decodes("FF", s));
    EXPECT_EQ(127, s.INTEGER::getValue());
}

TEST(PerDecoder, RejectsARootChoiceIndexBeyondTheRootAlternatives) {
    CHOICE pdu(&PduInfo);
    EXPECT_FALSE(decodes("C0", pdu));  // index 3 of 3 alternatives
    PduExt ext;
    EXPECT_FALSE(decodes("60", ext));  // root index 3 would name the addition e1
    EXPECT_TRUE(
        decodes("20"
                "0005",
                ext));
    EXPECT_EQ(1, ext.currentSelection());
}

TEST(PerDecoder, FailsAnUnknownExtensionAlternativeAndSkipsExtraOctetsOfAKnownOne) {
    PduExt ext;
    EXPECT_FALSE(
        decodes("82"
                "0100",
                ext));  // addition 2: unknown here
    Lists lists;
    // e2 (INTEGER) carried in an open type of 4 octets of which it reads 2.
    EXPECT_TRUE(
        decodes("81"
                "04"
                "0107"
                "FFFF",
                ext));
    EXPECT_EQ(4, ext.currentSelection());
    EXPECT_EQ(7, static_cast<INTEGER*>(ext.getSelection())->getValue());
}

TEST(PerDecoder, SkipsUnknownSequenceAdditionsByTheirLength) {
    SEQUENCE seq(&RecExtInfo);
    // ext 1, b 0, a 1, three additions (c absent, d absent, unknown present).
    EXPECT_TRUE(
        decodes("A088"
                "02"
                "ABCD",
                seq));
    EXPECT_FALSE(
        decodes("A088"
                "03"
                "ABCD",
                seq));  // runs past the end
    SEQUENCE again(&RecExtInfo);
    EXPECT_TRUE(
        decodes("A0A8"
                "0107"
                "02ABCD",
                again));  // c = 7 and an unknown one
    EXPECT_TRUE(again.hasOptionalField(1));
    EXPECT_EQ(7, static_cast<INTEGER*>(again.getField(2))->getValue());
}

TEST(PerDecoder, RefusesAnExtensionBitmapSizeThatWrapsRound) {
    SEQUENCE seq(&RecExtInfo);
    // Extension bit 1, b absent, a TRUE, then the bitmap size less one as
    // the four-octet number 0xffffffff.
    EXPECT_FALSE(decodes("B004FFFFFFFF", seq));
    // 127 (128 additions) is the largest announced size that is taken.
    EXPECT_FALSE(decodes("B0018000000000000000000000000000000000", seq));
    EXPECT_TRUE(decodes("B0017F00000000000000000000000000000000", seq));
}

TEST(PerDecoder, DecodesAnObjectIdentifierThatEndsTheInput) {
    OBJECT_IDENTIFIER oid;
    EXPECT_TRUE(decodes("062A864886F70D", oid));
    ASSERT_EQ(4u, oid.levels());
    EXPECT_EQ(113549u, oid[3]);
    EXPECT_FALSE(decodes("072A864886F70D", oid));
}

TEST(PerDecoder, RefusesAnObjectIdentifierArcBeyondThirtyTwoBits) {
    OBJECT_IDENTIFIER oid;
    // 1.3.4294967295 is the largest arc; one more would wrap round to 1.3.0.
    ASSERT_TRUE(decodes("062B8FFFFFFF7F", oid));
    EXPECT_EQ(4294967295u, oid[2]);
    EXPECT_FALSE(decodes("062B9080808000", oid));
}

TEST(PerDecoder, ReadsTheWorkedExamplesBack) {
    SEQUENCE seq(&RecExtInfo);
    ASSERT_TRUE(decodes("600005", seq));
    EXPECT_TRUE(bool(static_cast<BOOLEAN&>(*seq.getField(0))));
    EXPECT_TRUE(seq.hasOptionalField(0));
    EXPECT_EQ(5, static_cast<INTEGER&>(*seq.getField(1)).getValue());
    EXPECT_EQ("600005", encoded(seq));
}

TEST(PerDecoder, MakesValuesOfTheTypedViewsTheTablesName) {
    Lists lists;
    Rec& rec = *new Rec;
    rec.set_slot(9);
    rec.ref_pdu().select_y() = 4u;
    lists.ref_recs().push_back(rec);
    delete &rec;
    std::string const wire = encoded(lists);
    Lists back;
    ASSERT_TRUE(decodes(wire, back));
    ASSERT_EQ(1u, back.ref_recs().size());
    AbstractData* element = back.ref_recs().at(0);
    EXPECT_NE(nullptr, dynamic_cast<Rec*>(element));
    EXPECT_NE(nullptr, dynamic_cast<PduExt*>(back.ref_recs()[0].getField(3)));
    EXPECT_NE(nullptr, dynamic_cast<IntSlot*>(back.ref_recs()[0].getField(1)));
    EXPECT_EQ(9u, back.ref_recs()[0].get_slot().getValue());
    std::unique_ptr<AbstractData> copy(back.ref_recs()[0].clone());
    EXPECT_NE(nullptr, dynamic_cast<Rec*>(copy.get()));
    EXPECT_EQ(0, copy->compare(back.ref_recs()[0]));
}

// A message kept from sending, its body a decoded value, decoded into: the
// body decoded replaces the value it held.
TEST(PerDecoder, AnOpenTypeDecodesTheSameWhateverValueItHeld) {
    SEQUENCE other(&OpenInfo);
    static_cast<OpenData&>(*other.getField(1)).set_data(new INTEGER(300, &INTEGER::theInfo));
    std::string const wire = encoded(other);
    SEQUENCE fresh(&OpenInfo), sent(&OpenInfo);
    static_cast<OpenData&>(*sent.getField(1)).set_data(new BOOLEAN(true, &BOOLEAN::theInfo));
    ASSERT_TRUE(decodes(wire, fresh));
    ASSERT_TRUE(decodes(wire, sent));
    EXPECT_EQ(sent.compare(fresh), 0);
    EXPECT_EQ(sent.asValueNotation(), fresh.asValueNotation());
    EXPECT_EQ(encoded(sent), encoded(fresh));
}

TEST(PerDecoder, NeverReadsOutsideTruncatedOrCorruptedInput) {
    ASN1Oracle::RandomValue random(7);
    random.setOpenTypeInfo(&Rec::theInfo);
    void const* const types[] = {&Lists::theInfo, &Rec::theInfo, &RecExtInfo, &OpenInfo,
                                 &PduExt::theInfo};
    int decodedSome = 0;
    for (int round = 0; round < 60; ++round) {
        void const* const info = types[round % 5];
        std::unique_ptr<AbstractData> value(random.make(info));
        std::vector<char> wire;
        PEREncoder encoder(wire, true);
        if (!value->accept(encoder)) continue;
        for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
            // A heap copy of exactly `cut` octets, so the sanitizer sees any overread.
            std::unique_ptr<char[]> in(new char[cut ? cut : 1]);
            std::copy(wire.begin(), wire.begin() + cut, in.get());
            if (cut > 0) in[cut / 2] = char(in[cut / 2] ^ (1 << (round % 8)));
            std::unique_ptr<AbstractData> target(AbstractData::create(info));
            PERDecoder decoder(in.get(), in.get() + cut);
            decodedSome += target->accept(decoder);
        }
    }
    EXPECT_GT(decodedSome, 0);
}

}  // namespace
