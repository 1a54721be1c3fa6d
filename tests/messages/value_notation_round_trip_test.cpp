// Every type of the nine message modules prints in value notation and reads
// back equal: random values (fixed seed) that choose every alternative, have
// every OPTIONAL component present and absent and give the bounds of every
// constraint.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "message_modules.h"
#include "tests/support/oracle/random_value.h"

namespace {

TEST(MessageValueNotation, EveryTypeOfEveryModuleReadsBackWhatItPrints) {
    ASN1Oracle::RandomValue random(20261207);
    std::vector<std::string> failures;
    unsigned checked = 0;
    // Rounds over every type until every alternative, presence and bound has
    // been produced (bounded: deep types need a few more rounds).
    for (unsigned round = 0; round < 24 || (!random.gaps().empty() && round < 96); ++round) {
        for (auto const& m : MessageModules::all) {
            for (unsigned i = 0; i < m.count; ++i) {
                std::unique_ptr<ASN1::AbstractData> value(random.make(m.types[i]));
                std::string const text = value->asValueNotation();
                std::unique_ptr<ASN1::AbstractData> back(ASN1::AbstractData::create(m.types[i]));
                ++checked;
                if (!back->setFromValueNotation(text)) {
                    failures.push_back(std::string(m.name) + "." + m.names[i] +
                                       " does not read back: " + text);
                } else if (back->compare(*value) != 0) {
                    failures.push_back(std::string(m.name) + "." + m.names[i] + " reads " + text +
                                       " as " + back->asValueNotation());
                }
            }
        }
    }
    EXPECT_GT(checked, 24u * 500u);
    EXPECT_TRUE(random.gaps().empty()) << random.gaps().front();
    for (std::size_t i = 0; i < failures.size() && i < 20; ++i) ADD_FAILURE() << failures[i];
}

TEST(MessageValueNotation, TextThatIsNotAMessageIsRefused) {
    std::unique_ptr<ASN1::AbstractData> message(
        ASN1::AbstractData::create(MessageModules::all[0].types[0]));
    EXPECT_FALSE(message->setFromValueNotation("command : { seq 1"));
    EXPECT_FALSE(message->setFromValueNotation("no-such-alternative : NULL"));
    EXPECT_FALSE(message->setFromValueNotation(""));
}

}  // namespace
