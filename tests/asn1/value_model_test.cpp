// Value classes: creation from records, presence bits, selections, names,
// lists, comparison and copies.

#include <gtest/gtest.h>

#include <memory>

#include "asn1/asn1.h"
#include "cross_check_types.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

TEST(ValueModel, CountsTheBitsOfARange) {
    EXPECT_EQ(32u, CountBits(0));
    EXPECT_EQ(0u, CountBits(1));
    EXPECT_EQ(1u, CountBits(2));
    EXPECT_EQ(2u, CountBits(4));
    EXPECT_EQ(3u, CountBits(5));
    EXPECT_EQ(8u, CountBits(256));
    EXPECT_EQ(9u, CountBits(257));
    EXPECT_EQ(32u, CountBits(0x80000001u));
}

TEST(ValueModel, ComparesBytesAsUnsignedAndPrefixesAsSmaller) {
    char const ab[] = "ab", abc[] = "abc", high[] = "\x80", low[] = "\x7f";
    EXPECT_EQ(0, lexicographic_compare_bytes(ab, ab, abc, abc));
    EXPECT_EQ(-1, lexicographic_compare_bytes(ab, ab + 2, abc, abc + 3));
    EXPECT_GT(lexicographic_compare_bytes(high, high + 1, low, low + 1), 0);
}

TEST(ValueModel, CreatesValuesFromRecords) {
    EXPECT_EQ(nullptr, AbstractData::create(nullptr));
    std::unique_ptr<AbstractData> null(AbstractData::create(&Null::theInfo));
    EXPECT_EQ(5u, null->getTag());
    std::unique_ptr<AbstractData> slot(AbstractData::create(&IntSlot::theInfo));
    EXPECT_NE(nullptr, dynamic_cast<IntSlot*>(slot.get()));
    std::unique_ptr<AbstractData> text(AbstractData::create(&IA5String::theInfo));
    EXPECT_NE(nullptr, dynamic_cast<IA5String*>(text.get()));
}

TEST(ValueModel, ClonesKeepTheClassTheRecordMakes) {
    IA5String name("x");
    std::unique_ptr<AbstractData> copy(name.clone());
    EXPECT_NE(nullptr, dynamic_cast<IA5String*>(copy.get()));
    EXPECT_EQ(&IA5String::theInfo, copy->info());
    EXPECT_EQ(0, copy->compare(name));
    ColorExt color;
    color.setFromInt(2);
    std::unique_ptr<AbstractData> colorCopy(color.clone());
    EXPECT_NE(nullptr, dynamic_cast<ColorExt*>(colorCopy.get()));
    EXPECT_EQ(2, static_cast<ENUMERATED&>(*colorCopy).asInt());
}

TEST(ValueModel, IntegersKeepUncheckedValuesAndCompareByNumber) {
    IntSlot slot;
    slot = 5000u;
    EXPECT_EQ(5000u, slot.getValue());
    INTEGER a(7, &INTEGER::theInfo);
    IntSlot b;
    b = 7u;
    EXPECT_TRUE(a == b);
    EXPECT_EQ(0, a.compare(b));
    using Seven = Constrained_INTEGER<FixedConstraint, 0, 127u>;
    Seven seven;
    seven = 7u;
    EXPECT_EQ(10u, 3u + seven);
    BOOLEAN yes(true, &BOOLEAN::theInfo), no;
    EXPECT_EQ(1, yes.compare(no));
    EXPECT_EQ(-1, no.compare(yes));
}

TEST(ValueModel, FindsEnumerationNamesByNumberWithinTheTable) {
    char const* const names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m"};
    EnumeratedInfo const thirteen = {&ENUMERATED::create, 10, false, 12, names, 13};
    ENUMERATED e(&thirteen);
    e.setFromInt(-1);
    EXPECT_EQ(nullptr, e.getName());
    e.setFromInt(13);
    EXPECT_EQ(nullptr, e.getName());
    e.setFromInt(12);
    EXPECT_STREQ("m", e.getName());
    EXPECT_FALSE(e.setFromName("zz"));
    EXPECT_EQ(13, e.asInt());
    EXPECT_TRUE(e.setFromName("c"));
    EXPECT_EQ(2, e.asInt());
    // Fewer names than the maximum: numbers 0, 5, 6, 123.
    ENUMERATED n(&NumberedInfo);
    n.setFromInt(100);
    EXPECT_EQ(nullptr, n.getName());
    n.setFromInt(123);
    EXPECT_STREQ("top=123", n.getName());
    EXPECT_EQ("top", n.name());
    EXPECT_TRUE(n.setFromName("six"));
    EXPECT_EQ(6, n.asInt());
    EXPECT_TRUE(n.setFromName("five"));
    EXPECT_EQ(5, n.asInt());
}

TEST(ValueModel, NamedNumbersAreFoundByValue) {
    NameEntry const entries[] = {{-1, "minus"}, {3, "three"}, {10, "ten"}};
    NamedNumberInfo const info = {
        &IntegerWithNamedNumber::create, 2, Unconstrained, 0, 0xFFFFFFFFu, entries, 3};
    IntegerWithNamedNumber v(3, &info);
    std::string name = "unchanged";
    EXPECT_TRUE(v.getName(name));
    EXPECT_EQ("three", name);
    v.setValue(5);
    EXPECT_FALSE(v.getName(name));
    EXPECT_TRUE(v.setFromName("minus"));
    EXPECT_EQ(-1, v.getValue());
}

void const* const sixOptionalsInfos[] = {
    &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo,
    &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo,
    &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo,
    &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo, &INTEGER::theInfo};
int32_t const sixOptionalsIds[] = {0, 1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
SequenceInfo const sixOptionals = {&SEQUENCE::create, 16,      true,   sixOptionalsInfos,
                                   sixOptionalsIds,   6,       13,     6,
                                   nullptr,           nullptr, nullptr};

TEST(ValueModel, SequencesTrackPresenceApartFromValues) {
    Rec rec;
    EXPECT_EQ(nullptr, rec.getField(0));
    EXPECT_EQ(nullptr, rec.getField(1));
    EXPECT_NE(nullptr, rec.getField(2));
    EXPECT_FALSE(rec.hasOptionalField(0));
    EXPECT_EQ(0u, rec.extensionMap().size());
    rec.includeOptionalField(0, 0);
    AbstractData* seq = rec.getField(0);
    rec.includeOptionalField(0, 0);
    EXPECT_EQ(seq, rec.getField(0));
    EXPECT_TRUE(rec.hasOptionalField(0));
    rec.removeOptionalField(0);
    EXPECT_FALSE(rec.hasOptionalField(0));
    EXPECT_EQ(seq, rec.getField(0));
    EXPECT_EQ(0, rec.compare(Rec()));
    rec.set_slot(3);
    EXPECT_EQ(1, rec.compare(Rec()));
    EXPECT_EQ(-1, Rec().compare(rec));
    EXPECT_FALSE(rec.hasOptionalField(40));
    EXPECT_EQ(0x800003u, rec.getFieldTag(3));

    SEQUENCE wide(&sixOptionals);
    wide.includeOptionalField(9, 9);
    EXPECT_EQ(4u, wide.extensionMap().size());
    EXPECT_TRUE(wide.extensionMap()[3]);
    SEQUENCE other(&sixOptionals);
    other.includeOptionalField(9, 9);
    static_cast<INTEGER&>(*other.getField(9)) = 1;
    EXPECT_NE(0, wide.compare(other));
}

TEST(ValueModel, SequenceCopiesAreDeep) {
    Rec rec;
    rec.set_slot(8);
    rec.ref_pdu().select_y() = 2u;
    Rec copy(rec);
    Rec assigned;
    assigned = rec;
    rec.set_slot(9);
    EXPECT_EQ(8u, copy.get_slot().getValue());
    EXPECT_EQ(8u, assigned.get_slot().getValue());
    EXPECT_NE(0, copy.compare(rec));
}

TEST(ValueModel, ChoicesSelectCreateAndCompare) {
    PduExt a, b;
    EXPECT_EQ(CHOICE::NoSelection, a.currentSelection());
    EXPECT_EQ(nullptr, a.getSelection());
    EXPECT_EQ(0, a.compare(b));
    ASSERT_TRUE(a.select(1));
    static_cast<INTEGER&>(*a.getSelection()) = 44;
    ASSERT_TRUE(a.select(1));
    EXPECT_EQ(44, static_cast<INTEGER&>(*a.getSelection()).getValue());
    // Selecting by tag makes the value afresh, also of the same alternative.
    ASSERT_TRUE(a.setID(1, ContextTag >> 16));
    EXPECT_EQ(1, a.currentSelection());
    EXPECT_EQ(0, static_cast<INTEGER&>(*a.getSelection()).getValue());
    EXPECT_FALSE(a.select(5));
    EXPECT_TRUE(a.isUnknownSelection());
    EXPECT_EQ(nullptr, a.getSelection());
    ASSERT_TRUE(a.select(2));
    ASSERT_TRUE(b.select(4));
    EXPECT_EQ(-2, a.compare(b));
    a = PduExt();
    EXPECT_EQ(CHOICE::NoSelection, a.currentSelection());
    EXPECT_EQ(nullptr, a.getSelection());
    ASSERT_TRUE(a.select(4));
    EXPECT_EQ(0x800004u, a.getSelectionTag());
    EXPECT_STREQ("e2", a.getSelectionName());
}

TEST(ValueModel, ListsResizeCompareAndErase) {
    SEQUENCE_OF<IntSlot> list;
    list.resize(3);
    EXPECT_EQ(3u, list.size());
    EXPECT_NE(nullptr, dynamic_cast<IntSlot*>(list.at(2)));
    list.resize(1);
    EXPECT_EQ(1u, list.size());
    auto make = [](std::initializer_list<unsigned> values) {
        SEQUENCE_OF<IntSlot> l;
        for (unsigned v : values) {
            IntSlot e;
            e = v;
            l.push_back(e);
        }
        return l;
    };
    EXPECT_EQ(-1, make({1, 2}).compare(make({1, 2, 3})));
    EXPECT_EQ(1, make({1, 3}).compare(make({1, 2, 3})));
    auto l = make({4, 5, 6});
    auto next = l.erase(l.begin());
    EXPECT_EQ(5u, (*next).getValue());
    auto const& same = l;
    l = same;  // self-assignment, through a reference so no compiler objects
    EXPECT_EQ(0, l.compare(make({5, 6})));
    unsigned sum = 0;
    for (IntSlot const& e : static_cast<SEQUENCE_OF<IntSlot> const&>(l)) sum += e.getValue();
    EXPECT_EQ(11u, sum);
}

TEST(ValueModel, ListsInsertClonesAlsoOfTheirOwnElements) {
    SEQUENCE_OF<IntSlot> list;
    IntSlot seven;
    seven = 7u;
    list.insert(list.SEQUENCE_OF_Base::begin(), 2, seven);
    seven = 8u;
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(7u, list[1].getValue());
    EXPECT_NE(&list[0], &list[1]);
    // The whole list into itself, however often its storage grows.
    for (int round = 0; round < 4; ++round) {
        SEQUENCE_OF_Base& base = list;
        base.insert(base.end(), static_cast<SEQUENCE_OF_Base const&>(base).begin(),
                    static_cast<SEQUENCE_OF_Base const&>(base).end());
    }
    EXPECT_EQ(32u, list.size());
    EXPECT_EQ(7u, list[31].getValue());
    EXPECT_NE(&list[0], &list[16]);
}

TEST(ValueModel, OpenTypesCompareByValueThenOctets) {
    OpenData a, b;
    EXPECT_EQ(0, a.compare(b));
    a.grab(new std::vector<char>{1});
    b.grab(new std::vector<char>{1});
    EXPECT_EQ(0, a.compare(b));
    OpenData withValue(new BOOLEAN(true, &BOOLEAN::theInfo), &OpenData::theInfo);
    EXPECT_EQ(1, withValue.compare(a));
    EXPECT_EQ(-1, a.compare(withValue));
    withValue.swap(a);
    EXPECT_TRUE(a.has_data());
    EXPECT_TRUE(withValue.has_buf());
    EXPECT_FALSE(withValue.has_data());
}

TEST(ValueModel, ObjectIdentifiersCodeTheirArcs) {
    OBJECT_IDENTIFIER oid;
    for (unsigned arc : {1u, 2u, 840u, 113549u}) oid.append(arc);
    std::vector<char> out;
    oid.encodeCommon(out);
    EXPECT_EQ((std::vector<char>{0x2A, char(0x86), 0x48, char(0x86), char(0xF7), 0x0D}), out);
    OBJECT_IDENTIFIER back;
    ASSERT_TRUE(back.decodeCommon(out.data(), unsigned(out.size())));
    EXPECT_EQ(0, back.compare(oid));
    char const cut[] = {0x2A, char(0x86)};
    EXPECT_FALSE(back.decodeCommon(cut, 2));
    char const first[] = {char(85)};
    ASSERT_TRUE(back.decodeCommon(first, 1));
    EXPECT_EQ(2u, back[0]);
    EXPECT_EQ(5u, back[1]);
}

TEST(ValueModel, GeneralizedTimesReadAndWriteTheirText) {
    GeneralizedTime t;
    t.set("20240229235958.25+0130");
    EXPECT_EQ(250, t.millisec);
    EXPECT_EQ(90, t.mindiff);
    EXPECT_EQ("20240229235958.250+0130", t.get());
    GeneralizedTime u = t;
    u.mindiff = -45;
    EXPECT_EQ(0, t.compare(u));
    GeneralizedTime shortText("2024");
    EXPECT_EQ(2024, shortText.year);
}

}  // namespace
