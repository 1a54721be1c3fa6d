#include "tests/support/oracle/erlang_oracle.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/oracle/erlang_term.h"

namespace ASN1Oracle {

using namespace ASN1;

std::string hex(std::vector<char> const& octets) {
    static char const digits[] = "0123456789ABCDEF";
    std::string text;
    for (char c : octets) {
        text += digits[(static_cast<unsigned char>(c) >> 4) & 0xF];
        text += digits[static_cast<unsigned char>(c) & 0xF];
    }
    return text.empty() ? "-" : text;
}

namespace {

bool unhex(std::string const& text, std::vector<char>& out) {
    out.clear();
    if (text == "-") return true;
    if (text.size() % 2) return false;
    for (std::size_t i = 0; i < text.size(); i += 2)
        out.push_back(char(std::stoi(text.substr(i, 2), nullptr, 16)));
    return true;
}

std::string binaryTerm(std::vector<char> const& octets) {
    std::string term = "<<";
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i) term += ',';
        term += std::to_string(unsigned(static_cast<unsigned char>(octets[i])));
    }
    return term + ">>";
}

}  // namespace

ErlangOracle::ErlangOracle(std::string beamDir, std::string module, Names names)
    : beamDir_(std::move(beamDir)), module_(std::move(module)), names_(names) {}

bool ErlangOracle::ask(std::vector<std::string> const& modules,
                       std::vector<std::string> const& types, std::vector<std::string> const& terms,
                       std::vector<std::vector<char>> const& octets, std::vector<Answer>& answers) {
    char dir[] = "/tmp/asn1-oracle-XXXXXX";
    if (!mkdtemp(dir)) return false;
    std::string const in = std::string(dir) + "/requests";
    std::string const out = std::string(dir) + "/answers";
    {
        std::ofstream file(in);
        for (std::size_t i = 0; i < terms.size(); ++i) {
            file << '{' << i << ',' << erlangAtom(modules[i].c_str()) << ','
                 << erlangAtom(types[i].c_str()) << ',' << terms[i] << ',' << binaryTerm(octets[i])
                 << "}.\n";
        }
    }
    std::string const command = std::string(MOBREL_ERL) + " -noshell -pa '" + beamDir_ +
                                "' -run asn1_oracle main '" + in + "' '" + out + "' > '" + dir +
                                "/log' 2>&1";
    int const status = std::system(command.c_str());
    answers.assign(terms.size(), Answer());
    std::ifstream file(out);
    std::string line;
    std::size_t count = 0;
    while (status == 0 && std::getline(file, line)) {
        std::istringstream fields(line);
        std::size_t id = 0;
        std::string encoded;
        if (!(fields >> id >> encoded) || id >= answers.size()) break;
        std::getline(fields >> std::ws, answers[id].decode);
        answers[id].encoded = encoded != "error" && unhex(encoded, answers[id].octets);
        ++count;
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    std::remove((std::string(dir) + "/log").c_str());
    rmdir(dir);
    return status == 0 && count == terms.size();
}

std::vector<std::string> ErlangOracle::check(std::vector<Case> const& cases) {
    std::vector<std::string> failures;
    if (cases.empty()) return failures;
    std::vector<std::string> modules, types, terms;
    std::vector<std::vector<char>> octets(cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string term;
        if (!erlangTerm(*cases[i].value, term, names_)) {
            failures.push_back(cases[i].type + ": value has no Erlang term");
            term = "undefined";
        }
        CoderEnv env;
        env.set_encodingRule(CoderEnv::per_Aligned);
        if (!encode(*cases[i].value, &env, std::back_inserter(octets[i]))) {
            failures.push_back(cases[i].type + " " + term + ": our encoder failed");
            octets[i].clear();
        }
        modules.push_back(cases[i].module.empty() ? module_ : cases[i].module);
        types.push_back(cases[i].type);
        terms.push_back(term);
    }
    std::vector<Answer> answers;
    if (!ask(modules, types, terms, octets, answers)) {
        failures.push_back("erl did not answer every request (beams in " + beamDir_ + ")");
        return failures;
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string const what = modules[i] + "." + cases[i].type + " " + terms[i];
        Answer const& a = answers[i];
        if (!a.encoded) {
            failures.push_back(what + ": Erlang cannot encode it");
            continue;
        }
        if (a.octets != octets[i])
            failures.push_back(what + ": ours " + hex(octets[i]) + ", Erlang's " + hex(a.octets));
        if (a.decode != "same")
            failures.push_back(what + ": Erlang decoding our " + hex(octets[i]) + ": " + a.decode);
        std::unique_ptr<AbstractData> back(AbstractData::create(cases[i].value->info()));
        CoderEnv env;
        env.set_encodingRule(CoderEnv::per_Aligned);
        std::string term;
        if (!decode(a.octets.data(), a.octets.data() + a.octets.size(), &env, *back, true) ||
            !erlangTerm(*back, term, names_) || term != terms[i])
            failures.push_back(what + ": we decode Erlang's " + hex(a.octets) + " as " + term);
    }
    return failures;
}

std::string firstLines(std::vector<std::string> const& lines, std::size_t most) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < most; ++i) text += lines[i] + "\n";
    return text;
}

}  // namespace ASN1Oracle
