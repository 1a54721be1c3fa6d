// The oracle's random values reach everything a batch is asked to cover:
// each CHOICE alternative, each OPTIONAL component present and absent, both
// bounds of a constraint; gaps() names what a batch still missed.

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "cross_check_types.h"
#include "tests/support/oracle/random_value.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

std::string joined(std::vector<std::string> const& lines) {
    std::string text;
    for (auto const& l : lines) text += l + "\n";
    return text;
}

TEST(RandomValue, ChoosesEveryAlternativeBeforeRepeatingOne) {
    ASN1Oracle::RandomValue random(1);
    std::set<int> chosen;
    for (int i = 0; i < 3; ++i) {
        std::unique_ptr<AbstractData> v(random.make(&PduInfo));
        chosen.insert(static_cast<CHOICE&>(*v).currentSelection());
    }
    EXPECT_EQ(3u, chosen.size());
}

TEST(RandomValue, NamesTheAlternativesABatchNeverChose) {
    ASN1Oracle::RandomValue random(1);
    std::unique_ptr<AbstractData> v(random.make(&PduInfo));
    std::string const gaps = joined(random.gaps());
    EXPECT_NE(std::string::npos, gaps.find("never chosen")) << gaps;
    for (int i = 0; i < 5; ++i) std::unique_ptr<AbstractData>(random.make(&PduInfo));
    EXPECT_TRUE(random.gaps().empty()) << joined(random.gaps());
}

TEST(RandomValue, GivesOptionalComponentsBothPresences) {
    ASN1Oracle::RandomValue random(3);
    std::unique_ptr<AbstractData> first(random.make(&Rec::theInfo));
    std::unique_ptr<AbstractData> second(random.make(&Rec::theInfo));
    auto const& a = static_cast<SEQUENCE const&>(*first);
    auto const& b = static_cast<SEQUENCE const&>(*second);
    EXPECT_NE(a.hasOptionalField(0), b.hasOptionalField(0));
    EXPECT_NE(a.hasOptionalField(1), b.hasOptionalField(1));
}

TEST(RandomValue, ProducesBothBoundsOfAConstrainedInteger) {
    ASN1Oracle::RandomValue random(5);
    std::unique_ptr<AbstractData> a(random.make(&IntSlot::theInfo));
    std::unique_ptr<AbstractData> b(random.make(&IntSlot::theInfo));
    EXPECT_EQ(0, static_cast<INTEGER&>(*a).getValue());
    EXPECT_EQ(1023, static_cast<INTEGER&>(*b).getValue());
    EXPECT_TRUE(random.gaps().empty()) << joined(random.gaps());
}

}  // namespace
