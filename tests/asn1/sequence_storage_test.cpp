// SEQUENCEs of every component count keep, copy, exchange and code their
// components (up to eight held in the value, up to 32 in a pooled block,
// more on the heap), and the decoder's direct read of short unconstrained
// INTEGERs gives what the general length form gives.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "asn1/asn1.h"

namespace {

using namespace ASN1;

constexpr unsigned MaxFields = 40;

struct ManyIntegers {
    std::array<void const*, MaxFields> infos;
    std::array<int32_t, MaxFields> ids;
    std::array<char const*, MaxFields> names;
    SequenceInfo record;

    explicit ManyIntegers(unsigned n) {
        infos.fill(&INTEGER::theInfo);
        ids.fill(-1);
        names.fill("n");
        record = {&SEQUENCE::create, 16,      false,       infos.data(), ids.data(), n, 0, 0,
                  nullptr,           nullptr, names.data()};
    }
};

void number(SEQUENCE& s, int base) {
    for (unsigned i = 0; i < s.fieldCount(); ++i)
        static_cast<INTEGER&>(*s.getField(i)).setValue(base + int(i));
}

bool numbered(SEQUENCE const& s, int base) {
    for (unsigned i = 0; i < s.fieldCount(); ++i)
        if (static_cast<INTEGER const&>(*s.getField(i)).getValue() != base + int(i)) return false;
    return true;
}

std::vector<char> per(AbstractData const& v) {
    std::vector<char> out;
    PEREncoder encoder(out, true);
    EXPECT_TRUE(v.accept(encoder));
    return out;
}

TEST(SequenceStorage, EveryComponentCountCopiesSwapsAndCodes) {
    for (unsigned n : {1u, 8u, 9u, 18u, 32u, 33u, 40u}) {
        ManyIntegers const type(n);
        SEQUENCE a(&type.record);
        ASSERT_EQ(n, a.fieldCount());
        number(a, 100);
        SEQUENCE copy(a);
        EXPECT_TRUE(numbered(copy, 100)) << n;
        SEQUENCE assigned(&type.record);
        assigned = a;
        EXPECT_TRUE(numbered(assigned, 100)) << n;

        std::unique_ptr<AbstractData> back(AbstractData::create(&type.record));
        std::vector<char> const wire = per(a);
        PERDecoder decoder(wire.data(), wire.data() + wire.size());
        ASSERT_TRUE(back->accept(decoder)) << n;
        EXPECT_TRUE(numbered(static_cast<SEQUENCE&>(*back), 100)) << n;
    }
}

TEST(SequenceStorage, SwapsExchangeComponentsBetweenEveryKindOfStorage) {
    ManyIntegers const small(3), pooled(20), heap(36);
    for (SequenceInfo const* left : {&small.record, &pooled.record, &heap.record}) {
        for (SequenceInfo const* right : {&small.record, &pooled.record, &heap.record}) {
            SEQUENCE a(left), b(right);
            number(a, 10);
            number(b, 500);
            AbstractData* const firstOfA = a.getField(0);
            a.swap(b);
            EXPECT_EQ(right->numRootFields, a.fieldCount());
            EXPECT_EQ(left->numRootFields, b.fieldCount());
            EXPECT_TRUE(numbered(a, 500));
            EXPECT_TRUE(numbered(b, 10));
            EXPECT_EQ(firstOfA, b.getField(0));
        }
    }
}

bool decodes(std::vector<char> const& in, AbstractData& value) {
    std::unique_ptr<char[]> exact(new char[in.size() ? in.size() : 1]);
    std::copy(in.begin(), in.end(), exact.get());
    PERDecoder decoder(exact.get(), exact.get() + in.size());
    return value.accept(decoder);
}

TEST(IntegerDecoding, ShortUnconstrainedNumbersReadAsTheirTwosComplement) {
    struct Case {
        std::vector<char> wire;
        int value;
    };
    Case const cases[] = {
        {{0x00}, 0},
        {{0x01, 0x05}, 5},
        {{0x01, char(0x80)}, -128},
        {{0x02, char(0xFF), 0x7F}, -129},
        {{0x02, 0x01, 0x00}, 256},
        {{0x03, char(0x80), 0x00, 0x00}, -8388608},
        {{0x04, 0x7F, char(0xFF), char(0xFF), char(0xFF)}, 2147483647},
        {{0x04, char(0x80), 0x00, 0x00, 0x00}, -2147483647 - 1},
        // The two-octet length form is read by the general path.
        {{char(0x80), 0x01, 0x05}, 5},
    };
    for (Case const& c : cases) {
        INTEGER v;
        EXPECT_TRUE(decodes(c.wire, v)) << c.value;
        EXPECT_EQ(c.value, v.getValue());
    }
}

TEST(IntegerDecoding, ShortUnconstrainedNumbersThatDoNotFitFail) {
    std::vector<std::vector<char>> const bad = {
        {},                                    // no length
        {0x02, 0x01},                          // one octet of two
        {0x05, 0x01, 0x02, 0x03, 0x04, 0x05},  // five octets
        {char(0xC0), 0x01},                    // fragmented length form
    };
    for (auto const& wire : bad) {
        INTEGER v;
        EXPECT_FALSE(decodes(wire, v)) << wire.size();
    }
}

TEST(IntegerDecoding, AnUnconstrainedNumberAfterSomeBitsStartsOnTheNextOctet) {
    // SEQUENCE { flag BOOLEAN, n INTEGER }: flag in the top bit of the first
    // octet, then the aligned length and number.
    static void const* const infos[] = {&BOOLEAN::theInfo, &INTEGER::theInfo};
    static int32_t const ids[] = {-1, -1};
    static char const* const names[] = {"flag", "n"};
    static SequenceInfo const record = {&SEQUENCE::create, 16,      false, infos, ids, 2, 0, 0,
                                        nullptr,           nullptr, names};
    SEQUENCE s(&record);
    ASSERT_TRUE(decodes({char(0x80), 0x02, 0x12, 0x34}, s));
    EXPECT_TRUE(static_cast<BOOLEAN&>(*s.getField(0)));
    EXPECT_EQ(0x1234, static_cast<INTEGER&>(*s.getField(1)).getValue());
}

}  // namespace
