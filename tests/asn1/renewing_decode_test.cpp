// The renewing decode: a value kept from earlier decodes, decoded into
// again, ends exactly as a fresh value decoded from the same input, down to
// the components behind cleared presence bits; a plain decode into such a
// value ends equal to the fresh one.

#include <gtest/gtest.h>

#include <map>
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

// RecExt with its first addition carried by every value:
// SEQUENCE { a BOOLEAN, b INTEGER (0..1023) OPTIONAL, ..., c INTEGER (0..255), d IA5String }
unsigned char const firstAlways[] = {0x80};
SequenceInfo const carriedFirst = {RecExtInfo.create,      RecExtInfo.tag,        true,
                                   RecExtInfo.fieldInfos,  RecExtInfo.fieldIds,   2,
                                   2,                      1,                     firstAlways,
                                   nullptr,                RecExtInfo.fieldNames};

// Decodes the input into a fresh value; null when that fails.
std::unique_ptr<AbstractData> decodeFresh(void const* info, std::vector<char> const& wire) {
    std::unique_ptr<AbstractData> fresh(AbstractData::create(info));
    PERDecoder decoder(wire.data(), wire.data() + wire.size());
    if (!fresh->accept(decoder)) fresh.reset();
    return fresh;
}

// Decodes the input into a fresh value and into the kept one: "" when both
// fail or both end the same, else what differs.
std::string renewLikeFresh(void const* info, std::vector<char> const& wire, AbstractData& kept,
                           SpareValues& spares) {
    std::unique_ptr<AbstractData> const fresh = decodeFresh(info, wire);
    PERDecoder renewing(wire.data(), wire.data() + wire.size());
    renewing.renew(spares);
    if (kept.accept(renewing) != bool(fresh)) return "one decode failed";
    return fresh ? support::shapeDifference(*fresh, kept) : "";
}

// The plain decode into a value that held another: equal to the fresh
// decode and encoded alike ("" then, else what differs), though components
// behind cleared presence bits may stay.
std::string plainLikeFresh(void const* info, std::vector<char> const& wire, AbstractData& held) {
    std::unique_ptr<AbstractData> const fresh = decodeFresh(info, wire);
    PERDecoder plain(wire.data(), wire.data() + wire.size());
    if (held.accept(plain) != bool(fresh)) return "one decode failed";
    if (!fresh) return "";
    if (held.compare(*fresh) != 0 || per(held) != per(*fresh))
        return held.asValueNotation() + " instead of " + fresh->asValueNotation();
    return "";
}

TEST(RenewingDecode, LeavesAKeptValueAsAFreshDecodeLeavesIt) {
    // Inputs that random values do not make, decoded first: a local time
    // after one with zone and fraction; a value without additions after one
    // with both (carriedFirst's random values always carry the first).
    SEQUENCE full(&carriedFirst);
    full.includeOptionalField(2, 3);  // d, the second addition
    static_cast<AbstractString&>(*full.getField(3)).assign("xy");
    static_cast<INTEGER&>(*full.getField(2)) = 200;
    std::map<void const*, std::vector<std::vector<char>>> fixed = {
        {&GeneralizedTime::theInfo,
         {per(GeneralizedTime("20240601120000.250Z")), per(GeneralizedTime("20240601120000"))}},
        {&carriedFirst, {per(full), per(SEQUENCE(&RecExtInfo))}},
    };
    ASN1Oracle::RandomValue random(2112);
    random.setOpenTypeInfo(&Rec::theInfo);
    std::vector<void const*> types;
    for (NamedType const& t : allTypes) types.push_back(t.info);
    types.push_back(&carriedFirst);
    types.insert(types.end(), {&OBJECT_IDENTIFIER::theInfo, &BIT_STRING::theInfo,
                               &BMPString::theInfo, &GeneralizedTime::theInfo});
    for (void const* info : types) {
        std::unique_ptr<AbstractData> kept(AbstractData::create(info));
        std::unique_ptr<AbstractData> held(AbstractData::create(info));
        SpareValues spares;
        for (std::vector<char> const& wire : fixed[info]) {
            ASSERT_EQ(renewLikeFresh(info, wire, *kept, spares), "");
            ASSERT_EQ(plainLikeFresh(info, wire, *held), "");
        }
        for (int round = 0; round < 40; ++round) {
            std::unique_ptr<AbstractData> value(random.make(info));
            std::vector<char> wire = per(*value);
            // Every fourth input is cut short: what a failed decode leaves
            // behind must not show in the next one.
            if (round % 4 == 3) wire.resize(wire.size() / 2);
            ASSERT_EQ(renewLikeFresh(info, wire, *kept, spares), "") << "round " << round;
            ASSERT_EQ(plainLikeFresh(info, wire, *held), "") << "round " << round;
        }
    }
}

}  // namespace
