// Every type that the two coded messages reach, coded by this runtime and by
// Erlang/OTP's aligned-PER codec of the same modules, through the runtime's
// Erlang oracle: random values (fixed seed) that give the bounds of every
// constraint, choose every alternative of every CHOICE and have every
// OPTIONAL component present and absent. Our octets must equal Erlang's,
// Erlang must decode ours to the same value and we must decode Erlang's to
// the value we started from.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "message_modules.h"
#include "messages/acp/acp.h"
#include "messages/base/base.h"
#include "messages/hsp/hsp.h"
#include "messages/lgcp/lgcp.h"
#include "messages/mon/mon.h"
#include "messages/rerira/rerira.h"
#include "messages/term/term.h"
#include "tests/support/oracle/erlang_oracle.h"
#include "tests/support/oracle/random_value.h"

namespace {

using ASN1Oracle::Case;

using MessageModules::tagOf;
auto const& modules = MessageModules::all;

// The type's name in the Erlang copy, where "_" may not stand.
std::string erlangName(std::string const& name) {
    std::string out;
    for (char c : name) {
        if (c != '_') {
            out += c;
        } else if (out.empty() || out.back() != '-') {
            out += '-';
        }
    }
    return out;
}

TEST(ErlangCrossCheck, EveryReachableTypeCodesAsErlangDoes) {
    std::set<void const*> const reached = MessageModules::reachableFromTheMessages();
    ASN1Oracle::RandomValue random(20240601u);
    std::vector<Case> cases;
    // Rounds over every reached type until the batch has chosen everything
    // (a round of a CHOICE gives each of its alternatives a turn).
    for (int round = 0; round < 4 && (round < 2 || !random.gaps().empty()); ++round) {
        for (auto const& m : modules) {
            for (unsigned i = 0; i < m.count; ++i) {
                if (!reached.count(m.types[i]) || !*m.names[i]) continue;
                unsigned variants = 6;
                if (tagOf(m.types[i]) == 0)
                    variants = std::max(
                        variants, static_cast<ASN1::ChoiceInfo const*>(m.types[i])->totalChoices);
                for (unsigned v = 0; v < variants; ++v)
                    cases.push_back({erlangName(m.names[i]),
                                     std::unique_ptr<ASN1::AbstractData>(random.make(m.types[i])),
                                     m.name});
            }
        }
    }
    std::vector<std::string> const gaps = random.gaps();
    EXPECT_TRUE(gaps.empty()) << gaps.size() << " never chosen:\n" << ASN1Oracle::firstLines(gaps);
    ASSERT_GT(cases.size(), 1500u);

    ASN1Oracle::ErlangOracle oracle(MESSAGES_ORACLE_DIR, "LGCP", ASN1Oracle::Names::Dashed);
    std::vector<std::string> const failures = oracle.check(cases);
    EXPECT_TRUE(failures.empty()) << failures.size() << " disagreements:\n"
                                  << ASN1Oracle::firstLines(failures);
}

}  // namespace
