// The control link and the SNMP agent link decode every frame into the one
// message they keep: random messages one after the other leave it exactly
// as a fresh decode of the last one, whatever the messages before held.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "asn1/coders/spare_values.h"
#include "messages/lgcp/lgcp.h"
#include "messages/mon/mon.h"
#include "tests/support/oracle/random_value.h"
#include "tests/support/value_shape.h"

namespace {

using namespace ASN1;

TEST(RenewingMessageDecode, AKeptMessageHoldsNothingOfTheMessagesBefore) {
    ASN1Oracle::RandomValue random(7);
    for (void const* info : {static_cast<void const*>(&LGCP::Message::theInfo),
                             static_cast<void const*>(&MON::Message::theInfo)}) {
        std::unique_ptr<AbstractData> kept(AbstractData::create(info));
        SpareValues spares;
        int coded = 0;
        for (int round = 0; round < 1000; ++round) {
            std::unique_ptr<AbstractData> value(random.make(info));
            std::vector<char> wire;
            PEREncoder encoder(wire, true);
            if (!value->accept(encoder)) continue;
            ++coded;
            std::unique_ptr<AbstractData> fresh(AbstractData::create(info));
            PERDecoder plain(wire.data(), wire.data() + wire.size());
            ASSERT_TRUE(fresh->accept(plain));
            PERDecoder renewing(wire.data(), wire.data() + wire.size());
            renewing.renew(spares);
            ASSERT_TRUE(kept->accept(renewing));
            std::string const difference = support::shapeDifference(*fresh, *kept);
            ASSERT_TRUE(difference.empty()) << "round " << round << ": " << difference;
        }
        EXPECT_GT(coded, 900);
        EXPECT_GT(spares.size(), 5u);
    }
}

}  // namespace
