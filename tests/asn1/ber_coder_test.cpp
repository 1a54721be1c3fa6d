// The BER coder on its own: the octets of each kind of value, what the
// decoder accepts from other encoders, and what it refuses from a hostile
// peer without reading past its input or allocating more than it holds.

#include <gtest/gtest.h>

#include <iterator>

#include "ber_check_types.h"
#include "cross_check_types.h"
#include "tests/support/oracle/random_value.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

std::vector<char> bytes(std::initializer_list<int> list) {
    std::vector<char> out;
    for (int b : list) out.push_back(char(b));
    return out;
}

std::vector<char> ber(AbstractData const& value) {
    std::vector<char> octets;
    CoderEnv env;
    env.set_encodingRule(CoderEnv::ber);
    EXPECT_TRUE(encode(value, &env, std::back_inserter(octets)));
    return octets;
}

bool fromBer(std::vector<char> const& octets, AbstractData& value) {
    CoderEnv env;
    env.set_encodingRule(CoderEnv::ber);
    return decode(octets.data(), octets.data() + octets.size(), &env, value, true);
}

// A SEQUENCE { a [0] BOOLEAN OPTIONAL, b [1] INTEGER } with automatic tags.
void const* const pairInfos[] = {&BOOLEAN::theInfo, &INTEGER::theInfo};
int32_t const pairIds[] = {0, -1};
char const* const pairNames[] = {"a", "b"};
SequenceInfo const pairInfo = {&SEQUENCE::create, 16,      false,    pairInfos, pairIds, 2, 0, 1,
                               nullptr,           nullptr, pairNames};

// A SEQUENCE of the types no cross-check module holds.
void const* const miscInfos[] = {&OBJECT_IDENTIFIER::theInfo, &BIT_STRING::theInfo,
                                 &BMPString::theInfo, &GeneralizedTime::theInfo,
                                 &VisibleString::theInfo};
int32_t const miscIds[] = {-1, -1, -1, -1, 0};
char const* const miscNames[] = {"oid", "bits", "bmp", "time", "text"};
SequenceInfo const miscInfo = {&SEQUENCE::create, 16,      false,    miscInfos, miscIds, 5, 0, 1,
                               nullptr,           nullptr, miscNames};

// CHOICE { i INTEGER, s SEQUENCE { x INTEGER OPTIONAL } } with automatic tags.
void const* const boxInfos[] = {&INTEGER::theInfo};
int32_t const boxIds[] = {0};
char const* const boxNames[] = {"x"};
SequenceInfo const boxInfo = {&SEQUENCE::create, 16,      false,    boxInfos, boxIds, 1, 0, 1,
                              nullptr,           nullptr, boxNames};
void const* const pickInfos[] = {&INTEGER::theInfo, &boxInfo};
char const* const pickNames[] = {"i", "s"};
ChoiceInfo const pickInfo = {&CHOICE::create, 0, false, pickInfos, 2, 2, nullptr, pickNames};

TEST(BerEncoder, WritesIntegersInTheirShortestTwosComplementForm) {
    EXPECT_EQ(ber(INTEGER(0, &INTEGER::theInfo)), bytes({0x02, 0x01, 0x00}));
    EXPECT_EQ(ber(INTEGER(128, &INTEGER::theInfo)), bytes({0x02, 0x02, 0x00, 0x80}));
    EXPECT_EQ(ber(INTEGER(-129, &INTEGER::theInfo)), bytes({0x02, 0x02, 0xFF, 0x7F}));
    EXPECT_EQ(getIntegerDataLength(0x7FFFFF), 3);
    EXPECT_EQ(getIntegerDataLength(0x800000), 4);
    EXPECT_EQ(getIntegerDataLength(-128), 1);
}

TEST(BerEncoder, GivesAnUnsignedIntegerFrom2To31ALeadingZeroOctet) {
    IntU32 big;
    big = 3000000000u;
    EXPECT_EQ(ber(big), bytes({0x02, 0x05, 0x00, 0xB2, 0xD0, 0x5E, 0x00}));
    IntU32 back;
    ASSERT_TRUE(fromBer(ber(big), back));
    EXPECT_EQ(back.getValue(), 3000000000u);
}

TEST(BerEncoder, WritesBooleansBitStringsAndBmpStrings) {
    EXPECT_EQ(ber(BOOLEAN(true, &BOOLEAN::theInfo)), bytes({0x01, 0x01, 0xFF}));
    BIT_STRING bits;
    bits.resize(3);
    bits.getData()[0] = char(0xBF);  // bits past the third are sent as zeros
    EXPECT_EQ(ber(bits), bytes({0x03, 0x02, 0x05, 0xA0}));
    bits.resize(0);
    EXPECT_EQ(ber(bits), bytes({0x03, 0x01, 0x00}));
    EXPECT_EQ(ber(BMPString(L"AB", &BMPString::theInfo)),
              bytes({0x1E, 0x04, 0x00, 0x41, 0x00, 0x42}));
}

TEST(BerEncoder, TagsSequenceComponentsByPosition) {
    SEQUENCE pair(&pairInfo);
    static_cast<INTEGER&>(*pair.getField(1)) = 300;
    EXPECT_EQ(ber(pair), bytes({0x30, 0x04, 0x81, 0x02, 0x01, 0x2C}));
    pair.includeOptionalField(0, 0);
    EXPECT_EQ(ber(pair), bytes({0x30, 0x07, 0x80, 0x01, 0x00, 0x81, 0x02, 0x01, 0x2C}));
}

TEST(BerEncoder, WrapsAChoiceComponentInAConstructedExplicitTag) {
    CHOICE pdu(&PduInfo);
    ASSERT_TRUE(pdu.select(0));
    static_cast<INTEGER&>(*pdu.getSelection()) = 5;
    EXPECT_EQ(ber(pdu), bytes({0x80, 0x01, 0x05}));
    Rec rec;
    rec.ref_pdu().select_y() = 5u;
    EXPECT_EQ(ber(rec), bytes({0x30, 0x08, 0x82, 0x01, 0x00, 0xA3, 0x03, 0x81, 0x01, 0x05}));
}

TEST(BerEncoder, UsesTheLongFormsForHighTagNumbersAndLongContents) {
    SEQUENCE wide(&BerCheck::WideInfo);
    wide.includeOptionalField(31, 31);
    EXPECT_EQ(ber(wide), bytes({0x30, 0x04, 0x9F, 0x1F, 0x01, 0x00}));
    EXPECT_EQ(ber(OCTET_STRING(127, 0, &OCTET_STRING::theInfo))[1], 0x7F);
    std::vector<char> const long128 = ber(OCTET_STRING(128, 0, &OCTET_STRING::theInfo));
    EXPECT_EQ(std::vector<char>(long128.begin(), long128.begin() + 3), bytes({0x04, 0x81, 0x80}));
    std::vector<char> const long256 = ber(OCTET_STRING(256, 0, &OCTET_STRING::theInfo));
    EXPECT_EQ(std::vector<char>(long256.begin(), long256.begin() + 4),
              bytes({0x04, 0x82, 0x01, 0x00}));
}

TEST(BerEncoder, FailsWithoutOutputOnAChoiceWithoutSelection) {
    Rec rec;  // pdu has no selection
    std::vector<char> out = bytes({0x11});
    CoderEnv env;
    env.set_encodingRule(CoderEnv::ber);
    EXPECT_FALSE(encode(rec, &env, std::back_inserter(out)));
    EXPECT_EQ(out, bytes({0x11}));
    CHOICE unknown(&PduInfo);
    EXPECT_FALSE(unknown.select(7));
    EXPECT_FALSE(encode(unknown, &env, std::back_inserter(out)));
}

TEST(BerEncoder, WrapsAnOpenTypeAroundTheCompleteInnerEncoding) {
    SEQUENCE open(&OpenInfo);
    auto& body = static_cast<OpenData&>(*open.getField(1));
    body.set_data(new INTEGER(5, &INTEGER::theInfo));
    std::vector<char> const octets = ber(open);
    EXPECT_EQ(octets, bytes({0x30, 0x08, 0x80, 0x01, 0x00, 0xA1, 0x03, 0x02, 0x01, 0x05}));
    SEQUENCE back(&OpenInfo);
    ASSERT_TRUE(fromBer(octets, back));
    auto const& received = static_cast<OpenData const&>(*back.getField(1));
    ASSERT_TRUE(received.has_buf());
    EXPECT_EQ(received.get_buf(), bytes({0x02, 0x01, 0x05}));
}

TEST(BerDecoder, ReadsIntegersEnumerationsAndBooleans) {
    INTEGER i;
    ASSERT_TRUE(fromBer(bytes({0x02, 0x01, 0xFF}), i));
    EXPECT_EQ(i.getValue(), -1);
    ASSERT_TRUE(fromBer(bytes({0x02, 0x02, 0x00, 0x80}), i));
    EXPECT_EQ(i.getValue(), 128);
    EXPECT_FALSE(fromBer(bytes({0x02, 0x00}), i));
    ENUMERATED standby(&BerCheck::StandbyInfo);
    ASSERT_TRUE(fromBer(bytes({0x0A, 0x01, 0xFF}), standby));
    EXPECT_EQ(standby.asInt(), -1);
    BOOLEAN b;
    ASSERT_TRUE(fromBer(bytes({0x01, 0x02, 0x00, 0x01}), b));
    EXPECT_TRUE(b);
}

TEST(BerDecoder, RefusesIntegersThatDoNotFitTheirType) {
    INTEGER i;
    EXPECT_FALSE(fromBer(bytes({0x02, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}), i));
    IntU32 u;
    EXPECT_FALSE(fromBer(bytes({0x02, 0x01, 0xFF}), u));
    EXPECT_FALSE(fromBer(bytes({0x02, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}), u));
}

TEST(BerDecoder, TakesTheAlternativeOfAChoiceFromItsTag) {
    SEQUENCE holder(&BerCheck::HolderInfo);
    // n: [0] wrapper, Nest.inner: [0] wrapper, Inner.i [1] 5; m: [1] {1, 2}.
    ASSERT_TRUE(fromBer(bytes({0x30, 0x0F, 0xA0, 0x05, 0xA0, 0x03, 0x81, 0x01, 0x05, 0xA1, 0x06,
                               0x02, 0x01, 0x01, 0x02, 0x01, 0x02}),
                        holder));
    auto const& nest = static_cast<CHOICE const&>(*holder.getField(0));
    EXPECT_EQ(nest.currentSelection(), 0);
    auto const& inner = static_cast<CHOICE const&>(*nest.getSelection());
    EXPECT_EQ(inner.currentSelection(), 1);
    EXPECT_EQ(static_cast<INTEGER const&>(*inner.getSelection()).getValue(), 5);
    EXPECT_EQ(static_cast<SEQUENCE_OF_Base const&>(*holder.getField(1)).size(), 2u);
    EXPECT_FALSE(holder.hasOptionalField(0));

    // The decode gives the same value whatever the CHOICE held before: none,
    // the other alternative, or this one with its optional field present.
    auto holding = [](int selection, bool withX) {
        CHOICE pick(&pickInfo);
        if (selection < 0) return pick;
        pick.select(selection);
        if (withX) {
            auto& s = static_cast<SEQUENCE&>(*pick.getSelection());
            s.includeOptionalField(0, 0);
            static_cast<INTEGER&>(*s.getField(0)) = 9;
        }
        return pick;
    };
    for (auto const& wire : {bytes({0xA1, 0x00}), bytes({0xA1, 0x03, 0x80, 0x01, 0x07}),
                             bytes({0x80, 0x01, 0x05})}) {
        CHOICE fresh(&pickInfo);
        ASSERT_TRUE(fromBer(wire, fresh));
        for (CHOICE const& before : {holding(-1, false), holding(0, false), holding(1, true)}) {
            CHOICE held(before);
            ASSERT_TRUE(fromBer(wire, held));
            EXPECT_EQ(held.compare(fresh), 0) << "held " << before.currentSelection();
        }
    }
    CHOICE held = holding(1, true);
    ASSERT_TRUE(fromBer(bytes({0xA1, 0x00}), held));
    EXPECT_FALSE(static_cast<SEQUENCE const&>(*held.getSelection()).hasOptionalField(0));
}

// CHOICE { inner Inner, flag [5] BOOLEAN } with a tag table: its first
// alternative is an untagged CHOICE, whose own alternatives' tags select it.
void const* const outerInfos[] = {&BerCheck::InnerInfo, &BOOLEAN::theInfo};
uint32_t const outerTags[] = {0, ContextTag | 5};
char const* const outerNames[] = {"inner", "flag"};
ChoiceInfo const outerInfo = {&CHOICE::create, 0, false, outerInfos, 2, 2, outerTags, outerNames};
// SEQUENCE { c Outer } with automatic tags.
void const* const wrapInfos[] = {&outerInfo};
int32_t const wrapIds[] = {-1};
char const* const wrapNames[] = {"c"};
SequenceInfo const wrapInfo = {&SEQUENCE::create, 16,      false,    wrapInfos, wrapIds, 1, 0, 0,
                               nullptr,           nullptr, wrapNames};

TEST(BerDecoder, SelectsAnAlternativeThroughAnUntaggedInnerChoice) {
    CHOICE outer(&outerInfo);
    ASSERT_TRUE(fromBer(bytes({0x81, 0x01, 0x07}), outer));
    ASSERT_EQ(outer.currentSelection(), 0);
    auto const& inner = static_cast<CHOICE const&>(*outer.getSelection());
    EXPECT_EQ(inner.currentSelection(), 1);
    EXPECT_EQ(static_cast<INTEGER const&>(*inner.getSelection()).getValue(), 7);
    ASSERT_TRUE(fromBer(bytes({0x85, 0x01, 0xFF}), outer));
    EXPECT_EQ(outer.currentSelection(), 1);
    // A tag that neither CHOICE knows.
    EXPECT_FALSE(fromBer(bytes({0x83, 0x01, 0x00}), outer));
    EXPECT_TRUE(outer.isUnknownSelection());

    // The same under a component's explicit tag.
    SEQUENCE wrap(&wrapInfo);
    ASSERT_TRUE(fromBer(bytes({0x30, 0x04, 0xA0, 0x02, 0x80, 0x00}), wrap));
    auto const& c = static_cast<CHOICE const&>(*wrap.getField(0));
    ASSERT_EQ(c.currentSelection(), 0);
    EXPECT_EQ(static_cast<CHOICE const&>(*c.getSelection()).currentSelection(), 0);
}

TEST(BerDecoder, AcceptsAPrimitiveWrapperAroundAChoice) {
    Rec rec;
    ASSERT_TRUE(fromBer(bytes({0x30, 0x08, 0x82, 0x01, 0x00, 0x83, 0x03, 0x81, 0x01, 0x07}), rec));
    EXPECT_EQ(rec.ref_pdu().currentSelection(), 1);
}

TEST(BerDecoder, LeavesAnOptionalComponentAbsentAtTheEndOfItsSequence) {
    // Rec inside a list: the second element follows right after the first's
    // contents, which end before its optional components would come.
    SEQUENCE_OF<Rec> list;
    ASSERT_TRUE(fromBer(bytes({0x30, 0x14, 0x30, 0x08, 0x82, 0x01, 0xFF, 0xA3, 0x03, 0x80, 0x01,
                               0x00, 0x30, 0x08, 0x82, 0x01, 0x00, 0xA3, 0x03, 0x80, 0x01, 0xFF}),
                        list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_FALSE(list[0].hasOptionalField(0));
    EXPECT_FALSE(list[0].hasOptionalField(1));

    // A field the input lacks is absent also when the value held it before.
    SEQUENCE pair(&pairInfo);
    pair.includeOptionalField(0, 0);
    ASSERT_TRUE(pair.hasOptionalField(0));
    ASSERT_TRUE(fromBer(bytes({0x30, 0x03, 0x81, 0x01, 0x07}), pair));
    EXPECT_FALSE(pair.hasOptionalField(0));
}

TEST(BerDecoder, SkipsUnknownComponentsAndAcceptsMissingExtensions) {
    SEQUENCE recExt(&RecExtInfo);
    // a, then an extension component [9] this version does not know.
    ASSERT_TRUE(fromBer(bytes({0x30, 0x06, 0x80, 0x01, 0xFF, 0x89, 0x01, 0x01}), recExt));
    EXPECT_TRUE(static_cast<BOOLEAN const&>(*recExt.getField(0)));
    EXPECT_FALSE(recExt.hasOptionalField(1));
    EXPECT_FALSE(recExt.hasOptionalField(2));
}

TEST(BerDecoder, FailsWhenAMandatoryComponentIsMissingOrMistagged) {
    SEQUENCE pair(&pairInfo);
    EXPECT_FALSE(fromBer(bytes({0x30, 0x03, 0x80, 0x01, 0x00}), pair));
    EXPECT_FALSE(fromBer(bytes({0x30, 0x03, 0x82, 0x01, 0x00}), pair));
    EXPECT_TRUE(fromBer(bytes({0x30, 0x03, 0x81, 0x01, 0x07}), pair));
    INTEGER i;
    EXPECT_FALSE(fromBer(bytes({0x04, 0x01, 0x07}), i));
}

TEST(BerDecoder, AcceptsAnEmptySequenceAtTheEndOfTheInput) {
    SEQUENCE empty(&BerCheck::WideInfo);
    EXPECT_TRUE(fromBer(bytes({0x30, 0x00}), empty));
}

TEST(BerDecoder, RefusesALengthBeyondTheInputBeforeAllocating) {
    OCTET_STRING octets;
    EXPECT_FALSE(fromBer(bytes({0x04, 0x84, 0x7F, 0xFF, 0xFF, 0xFF, 0x00}), octets));
    EXPECT_TRUE(octets.empty());
    EXPECT_FALSE(fromBer(bytes({0x04, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
                         octets));
    BMPString bmp;
    EXPECT_FALSE(fromBer(bytes({0x1E, 0x84, 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x41}), bmp));
    BIT_STRING bits;
    EXPECT_FALSE(fromBer(bytes({0x03, 0x84, 0x10, 0x00, 0x00, 0x00, 0x00}), bits));
    EXPECT_EQ(bits.size(), 0u);
}

TEST(BerDecoder, KeepsEachComponentInsideItsParent) {
    // The list says 3 octets, its element claims 5 of what follows.
    SEQUENCE_OF<IntSlot> list;
    EXPECT_FALSE(fromBer(bytes({0x30, 0x03, 0x02, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05}), list));
    SEQUENCE pair(&pairInfo);
    EXPECT_FALSE(fromBer(bytes({0x30, 0x02, 0x81, 0x01, 0x07}), pair));
}

TEST(BerDecoder, RefusesIndefiniteLengthsHugeTagNumbersAndBadUnusedBitCounts) {
    SEQUENCE pair(&pairInfo);
    EXPECT_FALSE(fromBer(bytes({0x30, 0x80, 0x81, 0x01, 0x07, 0x00, 0x00}), pair));
    EXPECT_FALSE(
        fromBer(bytes({0x30, 0x06, 0x9F, 0x84, 0x80, 0x80, 0x00, 0x00, 0x81, 0x01, 0x07}), pair));
    BIT_STRING bits;
    EXPECT_FALSE(fromBer(bytes({0x03, 0x02, 0x09, 0xFF}), bits));
    EXPECT_FALSE(fromBer(bytes({0x03, 0x01, 0x03}), bits));
    EXPECT_FALSE(fromBer(bytes({0x03, 0x00}), bits));
    BMPString odd;
    EXPECT_FALSE(fromBer(bytes({0x1E, 0x03, 0x00, 0x41, 0x00}), odd));
}

TEST(BerDecoder, SurvivesEveryTruncationAndOctetFlipOfValidEncodings) {
    ASN1Oracle::RandomValue random(5);
    random.setOpenTypeInfo(&Rec::theInfo);
    void const* const types[] = {&Lists::theInfo, &BerCheck::HolderInfo, &OpenInfo, &miscInfo,
                                 &RecExtInfo};
    for (void const* info : types) {
        for (int n = 0; n < 20; ++n) {
            std::unique_ptr<AbstractData> value(random.make(info));
            std::vector<char> const octets = ber(*value);
            for (std::size_t cut = 0; cut < octets.size(); ++cut) {
                std::vector<char> const part(octets.begin(), octets.begin() + cut);
                std::unique_ptr<AbstractData> back(AbstractData::create(info));
                EXPECT_FALSE(fromBer(part, *back) && back->compare(*value) == 0);
            }
            for (std::size_t at = 0; at < octets.size(); ++at) {
                std::vector<char> flipped = octets;
                flipped[at] = char(flipped[at] ^ (1 << random.below(8)));
                std::unique_ptr<AbstractData> back(AbstractData::create(info));
                fromBer(flipped, *back);  // must neither crash nor read out of bounds
            }
        }
    }
}

TEST(BerCoder, RandomValuesOfEveryKindSurviveARoundTrip) {
    ASN1Oracle::RandomValue random(11);
    void const* const types[] = {&Lists::theInfo,  &BerCheck::HolderInfo, &miscInfo,
                                 &RecExtInfo,      &IntU32::theInfo,      &IntWide::theInfo,
                                 &INTEGER::theInfo};
    for (void const* info : types) {
        for (int n = 0; n < 100; ++n) {
            std::unique_ptr<AbstractData> value(random.make(info));
            std::unique_ptr<AbstractData> back(AbstractData::create(info));
            ASSERT_TRUE(fromBer(ber(*value), *back)) << value->asValueNotation();
            EXPECT_EQ(back->compare(*value), 0) << value->asValueNotation() << "\nread back as\n"
                                                << back->asValueNotation();
        }
    }
}

// A message kept from sending, its body a decoded value, decoded into: the
// body decoded replaces the value it held.
TEST(BerDecoder, AnOpenTypeDecodesTheSameWhateverValueItHeld) {
    SEQUENCE other(&OpenInfo);
    static_cast<OpenData&>(*other.getField(1)).set_data(new INTEGER(300, &INTEGER::theInfo));
    std::vector<char> const octets = ber(other);
    SEQUENCE fresh(&OpenInfo), sent(&OpenInfo);
    static_cast<OpenData&>(*sent.getField(1)).set_data(new BOOLEAN(true, &BOOLEAN::theInfo));
    ASSERT_TRUE(fromBer(octets, fresh));
    ASSERT_TRUE(fromBer(octets, sent));
    EXPECT_EQ(sent.compare(fresh), 0);
    EXPECT_EQ(sent.asValueNotation(), fresh.asValueNotation());
    EXPECT_EQ(ber(sent), octets);
}

TEST(BerCoder, AnOpenTypeReadBackDecodesItsValueOnRevisit) {
    SEQUENCE open(&OpenInfo);
    static_cast<INTEGER&>(*open.getField(0)) = 9;
    Rec inner;
    inner.set_slot(77);
    inner.ref_pdu().select_y() = 3u;
    static_cast<OpenData&>(*open.getField(1)).set_data(inner.clone());
    SEQUENCE back(&OpenInfo);
    std::vector<char> const octets = ber(open);
    ASSERT_TRUE(fromBer(octets, back));
    auto& body = static_cast<OpenData&>(*back.getField(1));
    body.set_data(new Rec);
    BERDecoder decoder(nullptr, nullptr);
    ASSERT_TRUE(decoder.revisit(body));
    EXPECT_EQ(body.get_data().compare(inner), 0);
}

}  // namespace
