// Validity checks and the invalid-value tracer: which values pass the loose
// and the strict check, and the path and reason the tracer writes.

#include <gtest/gtest.h>

#include <sstream>

#include "cross_check_types.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

std::string trace(AbstractData const& value) {
    std::ostringstream out;
    trace_invalid(out, "bad:", value);
    return out.str();
}

ConstrainedInfo const extIntInfo = {&INTEGER::create, 2, ExtendableConstraint, 10, 20};
ConstrainedInfo const extOctetsInfo = {&OCTET_STRING::create, 4, ExtendableConstraint, 1, 2};
StringInfo const digitsInfo = {
    &AbstractString::create, 18, FixedConstraint, 1, 4, NumericStringSet, 11, 4, 4, 4};
using Digits = SEQUENCE_OF<IA5String>;
SequenceOfInfo const digitListInfo = {
    &SEQUENCE_OF_Base::create, 16, Unconstrained, 0, 0xFFFFFFFFu, &digitsInfo};

TEST(Validity, ComparesIntegersAsTheirTypeReadsThem) {
    IntSlot slot;
    slot.setValue(-1);
    EXPECT_FALSE(slot.isValid());
    EXPECT_EQ(trace(slot), "bad: The INTEGER value 4294967295 is greater than upper bound 1023\n");
    IntU32 big;
    big = 3000000000u;
    EXPECT_TRUE(big.AbstractData::isStrictlyValid());
    IntSigned small;
    small.setValue(-5);
    EXPECT_TRUE(small.AbstractData::isValid());
    small.setValue(-129);
    EXPECT_FALSE(small.AbstractData::isValid());
    EXPECT_EQ(trace(small), "bad: The INTEGER value -129 is smaller than lower bound -128\n");
}

TEST(Validity, WaivesExtensibleConstraintsOnlyInTheLooseCheck) {
    INTEGER low(3, &extIntInfo);
    EXPECT_TRUE(low.AbstractData::isValid());
    EXPECT_FALSE(low.AbstractData::isStrictlyValid());
    EXPECT_EQ(trace(low), "bad: The INTEGER value 3 is smaller than lower bound 10\n");
    ColorExt color;
    color.setFromInt(5);
    EXPECT_TRUE(color.AbstractData::isValid());
    EXPECT_FALSE(color.AbstractData::isStrictlyValid());
    EXPECT_EQ(trace(color), "bad: This ENUMERATED has invalid value 5\n");
    OCTET_STRING longer(3, 'x', &extOctetsInfo);
    EXPECT_TRUE(longer.AbstractData::isValid());
    EXPECT_FALSE(longer.AbstractData::isStrictlyValid());
    EXPECT_EQ(trace(longer), "");
}

TEST(Validity, ChecksSizesAndCharacters) {
    OCTET_STRING five(5, 0, &OctetsSizedInfo);
    EXPECT_TRUE(five.AbstractData::isStrictlyValid());
    OCTET_STRING none(0, 0, &OctetsSizedInfo);
    EXPECT_EQ(trace(none), "bad: This OCTET STRING has size 0 smaller than its lower bound 1\n");
    AbstractString digits(&digitsInfo, "12a");
    EXPECT_FALSE(digits.AbstractData::isValid());
    EXPECT_EQ(trace(digits), "bad: The character 'a' is not valid for the string\n");
    AbstractString tooLong(&digitsInfo, "12345");
    EXPECT_EQ(trace(tooLong),
              "bad: This AbstractString has size 5 greater than its upper bound 4\n");
    BMPString wide(L"ok", &BMPString::theInfo);
    EXPECT_TRUE(wide.AbstractData::isValid());
    OBJECT_IDENTIFIER oid;
    EXPECT_EQ(trace(oid), "bad: This OBJECT IDENTIFIER is not assigned\n");
}

TEST(Validity, TracesTheFieldTheElementAndTheAlternativeThatBreakAConstraint) {
    Rec rec;
    rec.set_slot(2000);
    rec.ref_pdu().select_y() = 3u;
    EXPECT_FALSE(rec.isValid());
    EXPECT_EQ(trace(rec), "bad:.slot The INTEGER value 2000 is greater than upper bound 1023\n");
    rec.set_slot(5);
    rec.ref_pdu().select_y() = 1024u;
    EXPECT_EQ(trace(rec), "bad:.pdu.y The INTEGER value 1024 is greater than upper bound 1023\n");
    rec.ref_pdu().select_y() = 1u;
    EXPECT_TRUE(rec.isStrictlyValid());
    EXPECT_EQ(trace(rec), "");

    SEQUENCE_OF_Base list(&digitListInfo);
    for (char const* text : {"1", "22", "3x3"})
        list.push_back(new AbstractString(&digitsInfo, text));
    EXPECT_FALSE(list.AbstractData::isValid());
    EXPECT_EQ(trace(list), "bad:[2] The character 'x' is not valid for the string\n");
}

TEST(Validity, JudgesChoicesBySelection) {
    PduExt pdu;
    EXPECT_FALSE(pdu.AbstractData::isValid());
    EXPECT_EQ(trace(pdu), "bad: This CHOICE is not selected\n");
    ASSERT_TRUE(pdu.select(3));  // an extension addition
    EXPECT_TRUE(pdu.AbstractData::isValid());
    EXPECT_FALSE(pdu.AbstractData::isStrictlyValid());
    EXPECT_FALSE(pdu.select(9));
    EXPECT_EQ(trace(pdu), "bad: This selection is not understood by this decoder\n");
}

TEST(Validity, IgnoresAbsentFieldsAndAcceptsRawOpenTypes) {
    Rec rec;
    rec.set_slot(5000);
    rec.removeOptionalField(1);
    rec.ref_pdu().select_y() = 1u;
    EXPECT_TRUE(rec.isStrictlyValid());
    OpenData raw;
    raw.grab(new std::vector<char>(1, 0));
    EXPECT_TRUE(raw.AbstractData::isStrictlyValid());
    OpenData empty;
    EXPECT_EQ(trace(empty), "bad: This Open Type does not contain any valid data\n");
}

TEST(Validity, ChecksTheFieldsOfATime) {
    GeneralizedTime time(2024, 2, 29, 24, 0, 0, 0, 0, true);
    EXPECT_TRUE(time.AbstractData::isValid());
    time.mindiff = 721;
    EXPECT_FALSE(time.AbstractData::isValid());
    EXPECT_EQ(trace(time), "bad: This GeneralizedTime is not valid\n");
}

}  // namespace
