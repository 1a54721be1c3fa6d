// Every type that the two coded messages reach, coded by this runtime and by
// Erlang/OTP's aligned-PER codec of the same modules: randomised values
// (fixed seed) that visit the bounds of every constraint, every alternative
// of every CHOICE and every OPTIONAL field present and absent. Erlang decodes
// our octets and encodes its value again; the octets must be the same, and
// we must decode Erlang's octets back to the value we started from.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "messages/acp/acp.h"
#include "messages/base/base.h"
#include "messages/hsp/hsp.h"
#include "messages/lgcp/lgcp.h"
#include "messages/mon/mon.h"
#include "messages/rerira/rerira.h"
#include "messages/term/term.h"
#include "per_check.h"

namespace {

struct Module {
    char const* name;
    void const* const* types;
    char const* const* names;
    unsigned count;
};

Module const modules[] = {
    {"LGCP", LGCP::moduleTypes, LGCP::moduleTypeNames, LGCP::moduleTypeCount},
    {"ACP", ACP::moduleTypes, ACP::moduleTypeNames, ACP::moduleTypeCount},
    {"MON", MON::moduleTypes, MON::moduleTypeNames, MON::moduleTypeCount},
    {"HSP", HSP::moduleTypes, HSP::moduleTypeNames, HSP::moduleTypeCount},
    {"BASE", BASE::moduleTypes, BASE::moduleTypeNames, BASE::moduleTypeCount},
    {"TERM", TERM::moduleTypes, TERM::moduleTypeNames, TERM::moduleTypeCount},
    {"RERIRA", RERIRA::moduleTypes, RERIRA::moduleTypeNames, RERIRA::moduleTypeCount},
};

std::set<void const*> generated() {
    std::set<void const*> out;
    for (auto const& m : modules) out.insert(m.types, m.types + m.count);
    return out;
}

unsigned tagOf(void const* r) {
    return static_cast<ASN1::BasicInfo const*>(r)->tag;
}

// Fills values through the runtime's base classes, reading only the tables.
class RandomValues {
public:
    explicit RandomValues(unsigned variant) : variant_(variant), rng_(20240601u + variant) {}

    void fill(ASN1::AbstractData& v, int depth = 0) {
        void const* r = v.info();
        unsigned const tag = tagOf(r);
        if (tag == 16 && generated_.count(r))
            return sequence(static_cast<ASN1::SEQUENCE&>(v), depth);
        if (tag == 0) return choice(static_cast<ASN1::CHOICE&>(v), depth);
        if (tag == 16 || tag == 17) return list(static_cast<ASN1::SEQUENCE_OF_Base&>(v), depth);
        if (tag == 10) return enumerated(static_cast<ASN1::ENUMERATED&>(v));
        if (tag == 2) return integer(static_cast<ASN1::INTEGER&>(v));
        if (tag == 1) {
            static_cast<ASN1::BOOLEAN&>(v) = pick(2) == 1;
        } else if (tag == 4) {
            std::vector<char> bytes(pick(6));
            for (char& c : bytes) c = char(pick(256));
            static_cast<ASN1::OCTET_STRING&>(v) = bytes;
        } else if (tag == 22) {
            auto const* s = static_cast<ASN1::StringInfo const*>(r);
            unsigned const lb = s->type == 2 ? unsigned(s->lowerLimit) : 0;
            unsigned const ub = s->type == 2 ? s->upperLimit : 6;
            unsigned const n = choose(lb, ub);
            std::string text(n, ' ');
            for (char& c : text) c = char(pick(128));
            static_cast<ASN1::AbstractString&>(v).assign(text);
        }
    }

private:
    unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
    // Lower bound, upper bound or a value between, by turns.
    unsigned choose(unsigned lb, unsigned ub) {
        switch ((variant_ + counter_++) % 3) {
            case 0:
                return lb;
            case 1:
                return ub;
            default:
                return lb + unsigned(std::uniform_int_distribution<unsigned long long>(
                                0, (unsigned long long)ub - lb)(rng_));
        }
    }

    void sequence(ASN1::SEQUENCE& v, int depth) {
        ASN1::SequenceInfo const* r = v.record();
        for (unsigned i = 0; i < r->numRootFields; ++i) {
            int const bit = r->fieldIds[i];
            if (bit >= 0) {
                if ((variant_ + i + depth) % 2) {
                    v.removeOptionalField(unsigned(bit));
                    continue;
                }
                v.includeOptionalField(unsigned(bit), i);
            }
            fill(*v.getField(i), depth + 1);
        }
    }

    void choice(ASN1::CHOICE& v, int depth) {
        auto const* r = static_cast<ASN1::ChoiceInfo const*>(v.info());
        unsigned const k = depth == 0 ? variant_ % r->totalChoices : pick(r->totalChoices);
        fill(*v.setSelection(int(k), ASN1::AbstractData::create(r->selectionInfos[k])), depth + 1);
    }

    void list(ASN1::SEQUENCE_OF_Base& v, int depth) {
        unsigned const n = depth > 6 ? 0 : pick(3);
        for (unsigned i = 0; i < n; ++i) {
            ASN1::AbstractData* e = v.createElement();
            fill(*e, depth + 1);
            v.push_back(e);
        }
    }

    void enumerated(ASN1::ENUMERATED& v) { v.setFromInt(int(choose(0, unsigned(v.getMaximum())))); }

    void integer(ASN1::INTEGER& v) {
        if (v.constrained()) {
            v.setValue(int(choose(unsigned(v.getLowerLimit()), v.getUpperLimit())));
            return;
        }
        static int const edges[] = {0,   -1,  1,     127,   128,    -128,    -129,
                                    255, 256, 65535, 65536, -32769, INT_MAX, INT_MIN};
        unsigned const i = pick(sizeof edges / sizeof edges[0] + 1);
        v.setValue(i < sizeof edges / sizeof edges[0] ? edges[i] : int(rng_()));
    }

    unsigned variant_;
    unsigned counter_ = 0;
    std::mt19937 rng_;
    std::set<void const*> generated_ = generated();
};

struct Case {
    std::string module, type, ours;
    void const* record;
    std::unique_ptr<ASN1::AbstractData> value;
};

std::string erlangName(std::string name) {
    for (char& c : name)
        if (c == '_') c = '-';
    return name;
}

}  // namespace

TEST(ErlangCrossCheck, EveryReachableTypeCodesAsErlangDoes) {
    std::string const dir = MESSAGES_ERLANG_DIR;
    std::string const script = MESSAGES_TEST_DIR "/crosscheck.escript";
    if (std::system("command -v escript >/dev/null 2>&1") != 0 ||
        !std::ifstream(dir + "/LGCP.beam")) {
        FAIL() << "no Erlang oracle in this build (escript and erlc come with script/bootstrap)";
    }
    // Top-level types reached from the two messages (in-place types are
    // coded as parts of their outer types).
    std::set<void const*> reached;
    {
        std::set<void const*> const gen = generated();
        std::vector<void const*> todo = {&LGCP::Message::theInfo, &MON::Message::theInfo};
        while (!todo.empty()) {
            void const* r = todo.back();
            todo.pop_back();
            if (!reached.insert(r).second) continue;
            unsigned const tag = tagOf(r);
            if (tag == 16 && gen.count(r)) {
                auto const* s = static_cast<ASN1::SequenceInfo const*>(r);
                todo.insert(todo.end(), s->fieldInfos, s->fieldInfos + s->numRootFields);
            } else if (tag == 0) {
                auto const* c = static_cast<ASN1::ChoiceInfo const*>(r);
                todo.insert(todo.end(), c->selectionInfos, c->selectionInfos + c->totalChoices);
            } else if (tag == 16 || tag == 17) {
                todo.push_back(static_cast<ASN1::SequenceOfInfo const*>(r)->elementInfo);
            }
        }
    }
    std::vector<Case> cases;
    for (auto const& m : modules) {
        for (unsigned i = 0; i < m.count; ++i) {
            if (!reached.count(m.types[i]) || !*m.names[i]) continue;
            unsigned variants = 12;
            if (tagOf(m.types[i]) == 0)
                variants = std::max(variants,
                                    static_cast<ASN1::ChoiceInfo const*>(m.types[i])->totalChoices);
            for (unsigned v = 0; v < variants; ++v) {
                Case c{m.name, erlangName(m.names[i]), "", m.types[i],
                       std::unique_ptr<ASN1::AbstractData>(ASN1::AbstractData::create(m.types[i]))};
                RandomValues(v).fill(*c.value);
                c.ours = msgtest::per(*c.value);
                ASSERT_NE(c.ours, "encode failed") << c.module << "::" << c.type << " " << *c.value;
                cases.push_back(std::move(c));
            }
        }
    }
    ASSERT_GT(cases.size(), 1500u);

    char tmpl[] = "/tmp/mobrel-crosscheck-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string const in = std::string(tmpl) + "/in", out = std::string(tmpl) + "/out";
    {
        std::ofstream f(in);
        for (auto const& c : cases) {
            std::string hex;
            for (char ch : c.ours)
                if (ch != ' ') hex += ch;
            f << c.module << ' ' << c.type << ' ' << (hex.empty() ? "-" : hex) << '\n';
        }
    }
    ASSERT_EQ(std::system(("escript " + script + " " + dir + " " + in + " " + out).c_str()), 0);
    std::ifstream results(out);
    std::string line;
    unsigned n = 0;
    for (auto const& c : cases) {
        ASSERT_TRUE(std::getline(results, line)) << "Erlang gave fewer results than cases";
        std::string ours;
        for (char ch : c.ours)
            if (ch != ' ') ours += ch;
        if (ours.empty()) ours = "-";
        EXPECT_EQ(line, ours) << c.module << "::" << c.type << " " << *c.value;
        if (line != ours) continue;
        std::unique_ptr<ASN1::AbstractData> back(ASN1::AbstractData::create(c.record));
        std::string spaced = c.ours;
        EXPECT_TRUE(msgtest::decodeInto(msgtest::octets(spaced), *back)) << c.type;
        EXPECT_TRUE(*back == *c.value) << c.module << "::" << c.type << " " << *c.value;
        ++n;
    }
    EXPECT_EQ(n, cases.size());
    std::remove(in.c_str());
    std::remove(out.c_str());
    rmdir(tmpl);
}
