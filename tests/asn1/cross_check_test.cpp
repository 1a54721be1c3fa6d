// Aligned PER against Erlang/OTP's ASN.1 compiler: random values of every
// test type (fixed seed, boundaries of every constraint) are encoded by both
// sides and compared, and each side decodes the other's octets.

#include <gtest/gtest.h>

#include "cross_check_types.h"
#include "tests/support/oracle/erlang_oracle.h"
#include "tests/support/oracle/random_value.h"

namespace {

using namespace ASN1;
using namespace CrossCheck;
using ASN1Oracle::Case;

TEST(ErlangCrossCheck, RandomValuesOfEveryTestTypeCodeAsErlangDoes) {
    ASN1Oracle::RandomValue random(20240229);
    random.setOpenTypeInfo(&Rec::theInfo);
    std::vector<Case> cases;
    for (NamedType const& t : allTypes) {
        for (int i = 0; i < 80; ++i)
            cases.push_back({t.name, std::unique_ptr<AbstractData>(random.make(t.info))});
    }
    std::vector<std::string> const gaps = random.gaps();
    EXPECT_TRUE(gaps.empty()) << "never chosen:\n" << ASN1Oracle::firstLines(gaps);
    ASN1Oracle::ErlangOracle oracle(ASN1_TEST_ERLANG_DIR, "CrossCheck");
    std::vector<std::string> const failures = oracle.check(cases);
    EXPECT_TRUE(failures.empty()) << failures.size() << " disagreements:\n"
                                  << ASN1Oracle::firstLines(failures);
}

TEST(ErlangCrossCheck, LengthsAroundTheOneAndTwoOctetFormsCodeAsErlangDoes) {
    std::vector<Case> cases;
    for (unsigned n : {0u, 1u, 2u, 3u, 127u, 128u, 255u, 256u, 16383u}) {
        auto* octets = new OCTET_STRING(n, char(0xA5), &OCTET_STRING::theInfo);
        cases.push_back({"Octets", std::unique_ptr<AbstractData>(octets)});
        auto* text = new IA5String(std::string(n, 'q'));
        cases.push_back({"Text", std::unique_ptr<AbstractData>(text)});
    }
    auto* list =
        static_cast<SEQUENCE_OF_Base*>(AbstractData::create(&SEQUENCE_OF<IntSlot>::theInfo));
    for (unsigned i = 0; i < 128; ++i) list->push_back(new IntSlot(&IntSlot::theInfo));
    cases.push_back({"List", std::unique_ptr<AbstractData>(list)});
    ASN1Oracle::ErlangOracle oracle(ASN1_TEST_ERLANG_DIR, "CrossCheck");
    std::vector<std::string> const failures = oracle.check(cases);
    EXPECT_TRUE(failures.empty()) << ASN1Oracle::firstLines(failures);
}

TEST(ErlangCrossCheck, AnEncodingErlangRejectsIsReported) {
    // A value Erlang cannot encode (outside the type's range) must not pass.
    std::vector<Case> cases;
    auto* slot = new IntSlot(&IntSlot::theInfo);
    *slot = 5000u;
    cases.push_back({"IntSlot", std::unique_ptr<AbstractData>(slot)});
    ASN1Oracle::ErlangOracle oracle(ASN1_TEST_ERLANG_DIR, "CrossCheck");
    EXPECT_FALSE(oracle.check(cases).empty());
}

}  // namespace
