#pragma once
// Cross-check of the aligned-PER coder against Erlang/OTP's ASN.1 runtime.
// A batch of values is encoded here, written with their Erlang terms and our
// octets to a file, and one `erl -noshell` run encodes every term and
// decodes every octet string; the results come back and are compared:
// equal octets, Erlang decodes ours to the same term, we decode Erlang's to
// the same value. The values of one batch may come from several modules
// compiled into the same directory.

#include <memory>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "tests/support/oracle/erlang_term.h"

namespace ASN1Oracle {

struct Case {
    std::string type;  // type name in the Erlang module
    std::unique_ptr<ASN1::AbstractData> value;
    std::string module = {};  // empty: the oracle's module
};

class ErlangOracle {
public:
    // beamDir holds the compiled modules and asn1_oracle.beam; module is the
    // ASN.1 module of cases that name none.
    ErlangOracle(std::string beamDir, std::string module, Names names = Names::AsIs);

    // One line per failing case, naming the type, the value and what
    // differed; empty when every case agrees. Nothing is run for no cases.
    std::vector<std::string> check(std::vector<Case> const& cases);

    // Erlang's encoding of each term ("error" entries empty with ok false).
    struct Answer {
        bool encoded = false;
        std::vector<char> octets;
        std::string decode;  // "same", "error" or "differs <term>"
    };
    // Runs erl once over (type, term, our octets) triples; false when erl
    // could not be run or answered badly.
    bool ask(std::vector<std::string> const& modules, std::vector<std::string> const& types,
             std::vector<std::string> const& terms, std::vector<std::vector<char>> const& octets,
             std::vector<Answer>& answers);

private:
    std::string beamDir_;
    std::string module_;
    Names names_;
};

std::string hex(std::vector<char> const& octets);
// The first `most` lines, each ended, for a failure message.
std::string firstLines(std::vector<std::string> const& lines, std::size_t most = 40);

}  // namespace ASN1Oracle
