// The value-notation reader: what the writer prints reads back to an equal
// value, and malformed text fails.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "ber_check_types.h"
#include "cross_check_types.h"
#include "tests/support/oracle/random_value.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

void const* const miscInfos[] = {&OBJECT_IDENTIFIER::theInfo, &BIT_STRING::theInfo,
                                 &BMPString::theInfo,         &GeneralizedTime::theInfo,
                                 &GeneralString::theInfo,     &PrintableString::theInfo};
int32_t const miscIds[] = {-1, -1, -1, -1, -1, 0};
char const* const miscNames[] = {"oid", "bits", "bmp", "time", "general", "printable"};
SequenceInfo const miscInfo = {&SEQUENCE::create, 16,      false,    miscInfos, miscIds, 6, 0, 1,
                               nullptr,           nullptr, miscNames};

NameEntry const levelEntries[] = {{-1, "low"}, {0, "none"}, {7, "high"}};
NamedNumberInfo const levelInfo = {
    &IntegerWithNamedNumber::create, 2, Unconstrained, 0, 0xFFFFFFFFu, levelEntries, 3};

void const* const taggedInfos[] = {&ColorInfo, &levelInfo, &BerCheck::StandbyInfo};
int32_t const taggedIds[] = {-1, 0, -1};
char const* const taggedNames[] = {"color", "level", "standby"};
SequenceInfo const taggedInfo = {&SEQUENCE::create, 16,      false,      taggedInfos,
                                 taggedIds,         3,       0,          0 + 1,
                                 nullptr,           nullptr, taggedNames};

std::unique_ptr<AbstractData> read(void const* info, std::string const& text) {
    std::unique_ptr<AbstractData> value(AbstractData::create(info));
    if (!value->setFromValueNotation(text)) return nullptr;
    return value;
}

TEST(AvnReader, ReadsBackEveryRandomValueTheWriterPrints) {
    ASN1Oracle::RandomValue random(4242);
    void const* const types[] = {
        &Lists::theInfo,       &Rec::theInfo,          &RecExtInfo,       &RecExtEmptyInfo,
        &PduExt::theInfo,      &IntU32::theInfo,       &IntWide::theInfo, &INTEGER::theInfo,
        &NumberedInfo,         &ColorExt::theInfo,     &OctetsSizedInfo,  &TextSizedInfo,
        &BerCheck::HolderInfo, &BerCheck::StandbyInfo, &miscInfo,         &taggedInfo};
    for (void const* info : types) {
        // Read into a fresh value and into one that holds the value read before.
        std::unique_ptr<AbstractData> held(AbstractData::create(info));
        for (int n = 0; n < 150; ++n) {
            std::unique_ptr<AbstractData> value(random.make(info));
            std::string const text = value->asValueNotation();
            std::unique_ptr<AbstractData> back = read(info, text);
            ASSERT_TRUE(back) << text;
            EXPECT_EQ(back->compare(*value), 0) << text << "\nread back as\n"
                                                << back->asValueNotation();
            ASSERT_TRUE(held->setFromValueNotation(text)) << text;
            EXPECT_EQ(held->compare(*value), 0) << text << "\nread over the value before as\n"
                                                << held->asValueNotation();
        }
    }
}

TEST(AvnReader, ReadsTheTextOfTheCoderEnvironmentsTextRule) {
    Rec rec;
    rec.set_slot(1023);
    rec.ref_pdu().select_y() = 7u;
    CoderEnv env;
    env.set_encodingRule(CoderEnv::avn);
    std::vector<char> text;
    ASSERT_TRUE(encode(rec, &env, std::back_inserter(text)));
    Rec back;
    ASSERT_TRUE(decode(text.data(), text.data() + text.size(), &env, back, true));
    EXPECT_EQ(back.compare(rec), 0);
    EXPECT_EQ(back.get_slot().getValue(), 1023u);
}

TEST(AvnReader, ReadsQuotesInsideStringsAndCharactersTheWriterCannotConvert) {
    IA5String text(std::string("say \"hi\""));
    EXPECT_EQ(text.asValueNotation(), "\"say \"\"hi\"\"\"");
    IA5String back;
    ASSERT_TRUE(back.setFromValueNotation(text.asValueNotation()));
    EXPECT_EQ(static_cast<std::string const&>(back), "say \"hi\"");
    BMPString wide(
        L"\x0411"
        L"a",
        &BMPString::theInfo);
    EXPECT_EQ(wide.asValueNotation(), "{{ 0, 0, 4, 17}, { 0, 0, 0, 97}}");
    BMPString wideBack;
    ASSERT_TRUE(wideBack.setFromValueNotation(wide.asValueNotation()));
    EXPECT_EQ(static_cast<std::wstring const&>(wideBack),
              L"\x0411"
              L"a");
}

TEST(AvnReader, ReadsHexAndBinaryDigitStrings) {
    OCTET_STRING octets;
    ASSERT_TRUE(octets.setFromValueNotation("'0a ff'H"));
    EXPECT_EQ(octets, std::vector<char>({0x0a, char(0xff)}));
    ASSERT_TRUE(octets.setFromValueNotation("'abc'H"));
    EXPECT_EQ(octets, std::vector<char>({char(0xab), char(0xc0)}));
    EXPECT_FALSE(octets.setFromValueNotation("'0g'H"));
    EXPECT_FALSE(octets.setFromValueNotation("'00'X"));
    BIT_STRING bits;
    ASSERT_TRUE(bits.setFromValueNotation("'101'B"));
    EXPECT_EQ(bits.size(), 3u);
    EXPECT_EQ(bits.getData(), std::vector<char>({char(0xa0)}));
}

TEST(AvnReader, EndsAnEnumerationNameAtTheFirstCharacterOutsideANameAndAcceptsNumbers) {
    std::unique_ptr<AbstractData> value = read(&taggedInfo, "{ color blue, standby not-use }");
    ASSERT_TRUE(value);
    auto const& seq = static_cast<SEQUENCE const&>(*value);
    EXPECT_EQ(static_cast<ENUMERATED const&>(*seq.getField(0)).asInt(), 2);
    EXPECT_EQ(static_cast<ENUMERATED const&>(*seq.getField(2)).asInt(), -1);
    SEQUENCE_OF<ColorExt> colors;
    ASSERT_TRUE(colors.setFromValueNotation("{red,green,7}"));
    ASSERT_EQ(colors.size(), 3u);
    EXPECT_EQ(colors[2].asInt(), 7);
    EXPECT_FALSE(read(&taggedInfo, "{ color purple, standby on }"));
}

TEST(AvnReader, FailsOnASequenceThatEndsBeforeAMandatoryField) {
    EXPECT_FALSE(read(&Rec::theInfo, "{ seq 1, flag TRUE }"));
    EXPECT_FALSE(read(&Rec::theInfo, "{ seq 1, flag TRUE, }"));
    EXPECT_FALSE(read(&Rec::theInfo, "{ }"));
    EXPECT_FALSE(read(&Rec::theInfo, "{ flag TRUE, slot 3, pdu x : TRUE }"));
    std::unique_ptr<AbstractData> value = read(&Rec::theInfo, "{ flag TRUE, pdu x : TRUE, }");
    ASSERT_TRUE(value);
    EXPECT_FALSE(static_cast<SEQUENCE const&>(*value).hasOptionalField(0));
    EXPECT_TRUE(read(&RecExtInfo, "{ a FALSE, d \"x\" }"));
}

TEST(AvnReader, RefusesANegativeNumberForAnIntegerWithoutNegativeValues) {
    EXPECT_FALSE(read(&IntU32::theInfo, "-5"));
    EXPECT_FALSE(read(&IntSlot::theInfo, " -1"));
    auto const big = read(&IntU32::theInfo, "4294967295");
    ASSERT_TRUE(big);
    EXPECT_EQ(4294967295u, static_cast<IntU32&>(*big).getValue());
    auto const negative = read(&IntSigned::theInfo, "-5");
    ASSERT_TRUE(negative);
    EXPECT_EQ(-5, static_cast<INTEGER&>(*negative).getValue());
}

TEST(AvnReader, RejectsMalformedChoicesAndLists) {
    EXPECT_FALSE(read(&PduExt::theInfo, "y: 5"));
    EXPECT_FALSE(read(&PduExt::theInfo, "w : 5"));
    EXPECT_TRUE(read(&PduExt::theInfo, "y : 5"));
    EXPECT_FALSE(read(&SEQUENCE_OF<IntSlot>::theInfo, "{ 1, 2, }"));
    EXPECT_FALSE(read(&SEQUENCE_OF<IntSlot>::theInfo, "{ 1 2 }"));
    EXPECT_FALSE(read(&SEQUENCE_OF<IntSlot>::theInfo, "{ 1, 2"));
    EXPECT_TRUE(read(&SEQUENCE_OF<IntSlot>::theInfo, "{ }"));
}

TEST(AvnReader, ReadsObjectIdentifiersWithOrWithoutNames) {
    OBJECT_IDENTIFIER oid;
    ASSERT_TRUE(oid.setFromValueNotation("{ iso(1) member-body (2) 840 113549 }"));
    ASSERT_EQ(oid.levels(), 4u);
    EXPECT_EQ(oid[1], 2u);
    EXPECT_EQ(oid[3], 113549u);
    EXPECT_FALSE(oid.setFromValueNotation("{ iso 2 }"));
    EXPECT_FALSE(oid.setFromValueNotation("{ 1 2x }"));
    ASSERT_TRUE(oid.setFromValueNotation("{ 1 3 4294967295 }"));
    EXPECT_EQ(oid[2], 4294967295u);
    EXPECT_FALSE(oid.setFromValueNotation("{ 1 3 4294967296 }"));
    EXPECT_FALSE(oid.setFromValueNotation("{ 1 3 99999999999999999999999 }"));
}

TEST(AvnReader, StreamOperatorFailsTheStreamOnBadText) {
    std::istringstream good("{ flag FALSE, pdu z : \"a b\" }");
    Rec rec;
    good >> rec;
    EXPECT_FALSE(good.fail());
    EXPECT_EQ(rec.ref_pdu().currentSelection(), 2);
    std::istringstream bad("{ flag MAYBE }");
    bad >> rec;
    EXPECT_TRUE(bad.fail());
    Null null;
    EXPECT_TRUE(null.setFromValueNotation("NULL"));
    EXPECT_FALSE(null.setFromValueNotation("NUL"));
}

TEST(AvnReader, ANullOrBooleanEndingTheTextReadsButLeavesTheStreamFailed) {
    std::ios_base::iostate const atEnd = std::ios_base::eofbit | std::ios_base::failbit;
    BOOLEAN b;
    std::istringstream last("TRUE");
    last >> b;
    EXPECT_TRUE(b);
    EXPECT_EQ(last.rdstate(), atEnd);
    Null null;
    std::istringstream spaced("  NULL");
    spaced >> null;
    EXPECT_EQ(spaced.rdstate(), atEnd);
    std::istringstream followed("FALSE }");
    followed >> b;
    EXPECT_FALSE(b);
    EXPECT_TRUE(followed.good());
    EXPECT_EQ(followed.peek(), '}');
    EXPECT_TRUE(b.setFromValueNotation("TRUE"));
    EXPECT_FALSE(null.setFromValueNotation("NUL"));
}

// An open type read into again, whether it held a decoded value or that
// and octets: the octets read are its value, not what it held before.
TEST(AvnReader, AnOpenTypeReadsTheSameWhateverValueItHeld) {
    OpenData written;
    written.grab(new std::vector<char>{0x0A, 0x0B});
    std::string const text = written.asValueNotation();
    std::unique_ptr<AbstractData> const fresh = read(&OpenData::theInfo, text);
    ASSERT_TRUE(fresh);
    OpenData decoded(new BOOLEAN(true, &BOOLEAN::theInfo), &OpenData::theInfo);
    OpenData both(new INTEGER(5, &INTEGER::theInfo), &OpenData::theInfo);
    both.grab(new std::vector<char>{1});
    ASSERT_TRUE(decoded.setFromValueNotation(text));
    std::istringstream in(text);
    in >> both;
    ASSERT_FALSE(in.fail());
    for (OpenData const* held : {&decoded, &both}) {
        EXPECT_EQ(held->compare(*fresh), 0);
        EXPECT_EQ(held->asValueNotation(), text);
    }
}

TEST(GeneralizedTimeText, ReadsMillisecondsExactly) {
    GeneralizedTime time;
    time.set("20240229235958.005Z");
    EXPECT_EQ(time.millisec, 5);
    time.set("20240229235958.25+0130");
    EXPECT_EQ(time.millisec, 250);
    EXPECT_EQ(time.mindiff, 90);
    time.set("20240229235958.9999Z");
    EXPECT_EQ(time.millisec, 999);
}

TEST(GeneralizedTimeText, ConvertsCalendarTimesInUtcWhateverTheLocalZone) {
    char const* old = std::getenv("TZ");
    std::string const saved = old ? old : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    GeneralizedTime time;
    time.set_time_t(1709251198);  // 2024-02-29 23:59:58 UTC
    EXPECT_EQ(time.hour, 23);
    EXPECT_EQ(time.get_time_t(), 1709251198);
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
