// BER against Erlang/OTP's ASN.1 compiler in BER mode: random values of the
// cross-check types (and of the BER-only module) are encoded by both sides
// and compared byte for byte, Erlang decodes ours to the same term, and we
// decode Erlang's octets to an equal value.

#include <gtest/gtest.h>

#include <iterator>

#include "ber_check_types.h"
#include "cross_check_types.h"
#include "tests/support/oracle/erlang_oracle.h"
#include "tests/support/oracle/erlang_term.h"
#include "tests/support/oracle/random_value.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;

struct BerCase {
    std::string type;
    std::unique_ptr<AbstractData> value;
    std::string term;  // empty: the value's own Erlang term
};

std::vector<char> berOf(AbstractData const& value) {
    std::vector<char> octets;
    CoderEnv env;
    env.set_encodingRule(CoderEnv::ber);
    if (!encode(value, &env, std::back_inserter(octets))) octets.clear();
    return octets;
}

// One line per disagreement; empty when every case agrees.
std::vector<std::string> berCheck(char const* module, std::vector<BerCase> const& cases) {
    std::vector<std::string> failures;
    std::vector<std::string> types, terms;
    std::vector<std::vector<char>> octets;
    for (BerCase const& c : cases) {
        std::string term = c.term;
        if (term.empty() && !ASN1Oracle::erlangTerm(*c.value, term)) {
            failures.push_back(c.type + ": value has no Erlang term");
            term = "undefined";
        }
        octets.push_back(berOf(*c.value));
        if (octets.back().empty()) failures.push_back(c.type + " " + term + ": our encoder failed");
        types.push_back(c.type);
        terms.push_back(term);
    }
    ASN1Oracle::ErlangOracle oracle(ASN1_TEST_ERLANG_BER_DIR, module);
    std::vector<ASN1Oracle::ErlangOracle::Answer> answers;
    std::vector<std::string> const modules(types.size(), module);
    if (!oracle.ask(modules, types, terms, octets, answers)) {
        failures.push_back(std::string("erl did not answer every request (module ") + module + ")");
        return failures;
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string const what = types[i] + " " + terms[i];
        ASN1Oracle::ErlangOracle::Answer const& a = answers[i];
        if (!a.encoded) {
            failures.push_back(what + ": Erlang cannot encode it");
            continue;
        }
        if (a.octets != octets[i]) {
            failures.push_back(what + ": ours " + ASN1Oracle::hex(octets[i]) + ", Erlang's " +
                               ASN1Oracle::hex(a.octets));
        }
        if (a.decode != "same") {
            failures.push_back(what + ": Erlang decoding our " + ASN1Oracle::hex(octets[i]) + ": " +
                               a.decode);
        }
        std::unique_ptr<AbstractData> back(AbstractData::create(cases[i].value->info()));
        CoderEnv env;
        env.set_encodingRule(CoderEnv::ber);
        if (!decode(a.octets.data(), a.octets.data() + a.octets.size(), &env, *back, true) ||
            back->compare(*cases[i].value) != 0) {
            failures.push_back(what + ": we decode Erlang's " + ASN1Oracle::hex(a.octets) + " as " +
                               back->asValueNotation());
        }
    }
    return failures;
}

// The open type's body held as the octets of its inner value's BER
// encoding, which is both what goes out and the Erlang term (a binary).
void holdBodyAsBer(AbstractData& value) {
    auto& body = static_cast<OpenData&>(*static_cast<SEQUENCE&>(value).getField(1));
    if (!body.has_data()) return;
    auto* octets = new std::vector<char>(berOf(body.get_data()));
    body.set_data(nullptr);
    body.grab(octets);
}

// Erlang's BER encoder takes extension additions that are not OPTIONAL as
// mandatory: RecExt values carry both (absent ones are decoded in the BER
// coder's own tests).
void includeExtensions(AbstractData& value) {
    auto& seq = static_cast<SEQUENCE&>(value);
    seq.includeOptionalField(1, 2);
    seq.includeOptionalField(2, 3);
}

TEST(ErlangBerCrossCheck, RandomValuesOfEveryTestTypeCodeAsErlangDoes) {
    ASN1Oracle::RandomValue random(20240301);
    random.setOpenTypeInfo(&Rec::theInfo);
    std::vector<BerCase> cases;
    for (NamedType const& t : allTypes) {
        // Numbered is an INTEGER in the module (the PER twin of a numbered
        // enumeration), so its BER tag differs; BerCheck covers numbered
        // enumerations.
        if (t.info == &NumberedInfo) continue;
        for (int i = 0; i < 80; ++i) {
            std::unique_ptr<AbstractData> value(random.make(t.info));
            if (t.info == &OpenInfo) holdBodyAsBer(*value);
            if (t.info == &RecExtInfo) includeExtensions(*value);
            cases.push_back({t.name, std::move(value), ""});
        }
    }
    std::vector<std::string> const failures = berCheck("CrossCheck", cases);
    EXPECT_TRUE(failures.empty()) << failures.size() << " disagreements:\n"
                                  << ASN1Oracle::firstLines(failures);
}

TEST(ErlangBerCrossCheck, NestedChoicesSetsAndLongTagNumbersCodeAsErlangDoes) {
    ASN1Oracle::RandomValue random(77);
    std::vector<BerCase> cases;
    for (int i = 0; i < 150; ++i) {
        cases.push_back(
            {"Holder", std::unique_ptr<AbstractData>(random.make(&BerCheck::HolderInfo)), ""});
        cases.push_back(
            {"Nest", std::unique_ptr<AbstractData>(random.make(&BerCheck::NestInfo)), ""});
    }
    std::vector<std::string> const failures = berCheck("BerCheck", cases);
    EXPECT_TRUE(failures.empty()) << failures.size() << " disagreements:\n"
                                  << ASN1Oracle::firstLines(failures);
}

TEST(ErlangBerCrossCheck, EnumerationsWithExplicitAndNegativeNumbersCodeAsErlangDoes) {
    struct Item {
        void const* info;
        char const* type;
        int number;
        char const* atom;
    };
    Item const items[] = {
        {&BerCheck::StandbyInfo, "Standby", -1, "'not-use'"},
        {&BerCheck::StandbyInfo, "Standby", 0, "off"},
        {&BerCheck::StandbyInfo, "Standby", 1, "on"},
        {&BerCheck::PayloadInfo, "Payload", 0, "pcmu"},
        {&BerCheck::PayloadInfo, "Payload", 3, "gsm"},
        {&BerCheck::PayloadInfo, "Payload", 4, "g723"},
        {&BerCheck::PayloadInfo, "Payload", 123, "'ptR2S'"},
    };
    std::vector<BerCase> cases;
    for (Item const& item : items) {
        auto* value = static_cast<ENUMERATED*>(AbstractData::create(item.info));
        value->setFromInt(item.number);
        cases.push_back({item.type, std::unique_ptr<AbstractData>(value), item.atom});
    }
    std::vector<std::string> const failures = berCheck("BerCheck", cases);
    EXPECT_TRUE(failures.empty()) << ASN1Oracle::firstLines(failures);
}

TEST(ErlangBerCrossCheck, LengthsAroundTheLongFormsCodeAsErlangDoes) {
    std::vector<BerCase> cases;
    for (unsigned n : {0u, 1u, 127u, 128u, 255u, 256u, 65535u, 65536u}) {
        auto* octets = new OCTET_STRING(n, char(0x5A), &OCTET_STRING::theInfo);
        cases.push_back({"Octets", std::unique_ptr<AbstractData>(octets), ""});
    }
    std::vector<std::string> const failures = berCheck("CrossCheck", cases);
    EXPECT_TRUE(failures.empty()) << ASN1Oracle::firstLines(failures);
}

}  // namespace
