#include "tests/support/oracle/erlang_term.h"

#include <cstring>
#include <sstream>
#include <vector>

namespace ASN1Oracle {

using namespace ASN1;

namespace {

void binary(std::ostream& os, char const* data, std::size_t n) {
    os << "<<";
    for (std::size_t i = 0; i < n; ++i)
        os << (i ? "," : "") << unsigned(static_cast<unsigned char>(data[i]));
    os << ">>";
}

class TermWriter : public ConstVisitor {
public:
    TermWriter(std::ostream& os, Names names) : os_(os), names_(names) {}

protected:
    bool do_visit(AbstractData const&) override { return false; }
    bool do_visit(Null const&) override {
        os_ << "'NULL'";
        return true;
    }
    bool do_visit(BOOLEAN const& v) override {
        os_ << (v ? "true" : "false");
        return true;
    }
    bool do_visit(INTEGER const& v) override {
        if (v.constrained() && v.getLowerLimit() >= 0) {
            os_ << unsigned(v.getValue());
        } else {
            os_ << v.getValue();
        }
        return true;
    }
    bool do_visit(ENUMERATED const& v) override {
        auto const* rec = static_cast<EnumeratedInfo const*>(v.info());
        bool numbered = false;
        for (uint32_t i = 0; i < rec->nameCount; ++i)
            numbered = numbered || std::strchr(rec->names[i], '=');
        std::string_view const name = v.name();
        if (numbered || name.empty()) {
            os_ << v.asInt();
        } else {
            os_ << erlangAtom(std::string(name).c_str());
        }
        return true;
    }
    bool do_visit(OCTET_STRING const& v) override {
        binary(os_, v.data(), v.size());
        return true;
    }
    bool do_visit(AbstractString const& v) override {
        os_ << '[';
        for (std::size_t i = 0; i < v.size(); ++i)
            os_ << (i ? "," : "") << unsigned(static_cast<unsigned char>(v[i]));
        os_ << ']';
        return true;
    }
    bool do_visit(CHOICE const& v) override {
        if (!v.getSelectionName() || !v.getSelection()) return false;
        os_ << '{' << erlangAtom(v.getSelectionName(), names_) << ',';
        if (!v.getSelection()->accept(*this)) return false;
        os_ << '}';
        return true;
    }
    bool do_visit(OpenData const& v) override {
        std::vector<char> inner;
        if (v.has_data()) {
            PEREncoder encoder(inner, true);
            if (!v.get_data().accept(encoder)) return false;
            if (inner.empty()) inner.push_back(0);
        } else if (v.has_buf()) {
            inner = v.get_buf();
        } else {
            return false;
        }
        binary(os_, inner.data(), inner.size());
        return true;
    }
    bool do_visit(SEQUENCE_OF_Base const& v) override {
        os_ << '[';
        bool first = true;
        for (AbstractData const* e : v) {
            if (!first) os_ << ',';
            first = false;
            if (!e || !e->accept(*this)) return false;
        }
        os_ << ']';
        return true;
    }
    bool preVisitExtensionRoots(SEQUENCE const&) override {
        os_ << "#{";
        first_.push_back(true);
        return true;
    }
    bool visitExtensionRoot(SEQUENCE const& v, int index) override {
        if (!first_.back()) os_ << ',';
        first_.back() = false;
        os_ << erlangAtom(v.getFieldName(index), names_) << "=>";
        AbstractData const* field = v.getField(unsigned(index));
        return field && field->accept(*this);
    }
    bool visitKnownExtension(SEQUENCE const& v, int index) override {
        return visitExtensionRoot(v, index);
    }
    bool afterVisitSequence(SEQUENCE const&) override {
        os_ << '}';
        first_.pop_back();
        return true;
    }

private:
    std::ostream& os_;
    Names names_;
    std::vector<bool> first_;
};

}  // namespace

std::string erlangAtom(char const* name, Names names) {
    std::string atom = "'";
    for (char const* p = name; *p; ++p) {
        if (names == Names::Dashed && *p == '_') {
            if (atom.back() != '-') atom += '-';
            continue;
        }
        if (*p == '\'' || *p == '\\') atom += '\\';
        atom += *p;
    }
    return atom + "'";
}

bool erlangTerm(AbstractData const& value, std::string& out, Names names) {
    std::ostringstream os;
    TermWriter writer(os, names);
    if (!value.accept(writer)) return false;
    out = os.str();
    return true;
}

}  // namespace ASN1Oracle
