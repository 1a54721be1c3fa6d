// The renewing decode: a value kept from earlier decodes, decoded into
// again, ends exactly as a fresh value decoded from the same input, down to
// the components behind cleared presence bits; the alternatives a CHOICE
// leaves wait as spares and are decoded into when selected again.

#include <gtest/gtest.h>

#include <memory>

#include "asn1/asn1.h"
#include "asn1/coders/spare_values.h"
#include "cross_check_types.h"
#include "tests/support/oracle/random_value.h"
#include "tests/support/value_shape.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

std::vector<char> per(AbstractData const& value) {
    std::vector<char> out;
    PEREncoder encoder(out, true);
    EXPECT_TRUE(value.accept(encoder));
    if (out.empty()) out.push_back(0);
    return out;
}

bool renew(std::vector<char> const& in, AbstractData& kept, SpareValues& spares) {
    PERDecoder decoder(in.data(), in.data() + in.size());
    decoder.renew(spares);
    return kept.accept(decoder);
}

// RecExt with its first addition carried by every value:
// SEQUENCE { a BOOLEAN, b INTEGER (0..1023) OPTIONAL, ..., c INTEGER (0..255), d IA5String }
unsigned char const firstAlways[] = {0x80};
SequenceInfo const carriedFirst = {RecExtInfo.create,      RecExtInfo.tag,        true,
                                   RecExtInfo.fieldInfos,  RecExtInfo.fieldIds,   2,
                                   2,                      1,                     firstAlways,
                                   nullptr,                RecExtInfo.fieldNames};

TEST(RenewingDecode, LeavesAKeptValueAsAFreshDecodeLeavesIt) {
    ASN1Oracle::RandomValue random(2112);
    random.setOpenTypeInfo(&Rec::theInfo);
    std::vector<void const*> types;
    for (NamedType const& t : allTypes) types.push_back(t.info);
    types.push_back(&carriedFirst);
    types.insert(types.end(), {&OBJECT_IDENTIFIER::theInfo, &BIT_STRING::theInfo,
                               &BMPString::theInfo, &GeneralizedTime::theInfo});
    for (void const* info : types) {
        std::unique_ptr<AbstractData> kept(AbstractData::create(info));
        SpareValues spares;
        for (int round = 0; round < 40; ++round) {
            std::unique_ptr<AbstractData> value(random.make(info));
            std::vector<char> wire = per(*value);
            // Every fourth input is cut short: what a failed decode leaves
            // behind must not show in the next one.
            if (round % 4 == 3) wire.resize(wire.size() / 2);
            std::unique_ptr<AbstractData> fresh(AbstractData::create(info));
            PERDecoder decoder(wire.data(), wire.data() + wire.size());
            bool const decoded = fresh->accept(decoder);
            ASSERT_EQ(decoded, renew(wire, *kept, spares)) << round;
            if (!decoded) continue;
            std::string const difference = support::shapeDifference(*fresh, *kept);
            ASSERT_TRUE(difference.empty()) << "round " << round << ": " << difference;
        }
    }
}

TEST(RenewingDecode, FreesTheComponentsAnInputLeavesOut) {
    Rec rec;
    rec.set_slot(7);
    rec.ref_pdu().select_y() = 5;
    std::vector<char> const withSlot = per(rec);
    rec.removeOptionalField(1);
    std::vector<char> const without = per(rec);

    Rec kept;
    SpareValues spares;
    ASSERT_TRUE(renew(withSlot, kept, spares));
    ASSERT_NE(nullptr, kept.getField(1));
    EXPECT_EQ(7u, kept.get_slot().getValue());
    ASSERT_TRUE(renew(without, kept, spares));
    EXPECT_FALSE(kept.hasOptionalField(1));
    EXPECT_EQ(nullptr, kept.getField(1));
}

TEST(RenewingDecode, KeepsTheAlternativeAChoiceLeavesForItsNextSelection) {
    PduExt y;
    y.select_y() = 9;
    PduExt x;
    x.setSelection(0, new BOOLEAN(true, &BOOLEAN::theInfo));

    PduExt kept;
    SpareValues spares;
    ASSERT_TRUE(renew(per(y), kept, spares));
    AbstractData const* const first = kept.getSelection();
    ASSERT_TRUE(renew(per(x), kept, spares));
    EXPECT_EQ(1u, spares.size());
    ASSERT_TRUE(renew(per(y), kept, spares));
    EXPECT_EQ(first, kept.getSelection());
    EXPECT_EQ(9u, static_cast<IntSlot const&>(*kept.getSelection()).getValue());
    // The BOOLEAN waits in its turn; one spare per type.
    EXPECT_EQ(1u, spares.size());
    spares.clear();
    EXPECT_EQ(0u, spares.size());
}

TEST(RenewingDecode, ReadsATimeWithoutTheFieldsOfTheTimeBefore) {
    GeneralizedTime const zoned("20240601120000.250Z");
    GeneralizedTime const local("20240601120000");
    GeneralizedTime kept;
    SpareValues spares;
    ASSERT_TRUE(renew(per(zoned), kept, spares));
    ASSERT_TRUE(renew(per(local), kept, spares));
    EXPECT_EQ("", support::shapeDifference(local, kept));
    EXPECT_EQ("20240601120000", kept.get());
}

TEST(RenewingDecode, ReturnsAnAdditionTheInputDoesNotCarryToItsFreshState) {
    SEQUENCE full(&carriedFirst);
    full.includeOptionalField(2, 3);  // d, the second addition
    static_cast<AbstractString&>(*full.getField(3)).assign("xy");
    static_cast<INTEGER&>(*full.getField(2)) = 200;
    SEQUENCE none(&RecExtInfo);

    SEQUENCE kept(&carriedFirst);
    SpareValues spares;
    ASSERT_TRUE(renew(per(full), kept, spares));
    ASSERT_TRUE(renew(per(none), kept, spares));
    SEQUENCE const fresh(&carriedFirst);
    EXPECT_EQ("", support::shapeDifference(fresh, kept));
    EXPECT_EQ(0, static_cast<INTEGER const&>(*kept.getField(2)).getValue());
    EXPECT_EQ(nullptr, kept.getField(3));
}

}  // namespace
