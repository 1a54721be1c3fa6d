#include "asn1/coders/avn_encoder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <string>

#include "asn1/asn1.h"
#include "asn1/coders/io_wrapper.h"

namespace ASN1 {

bool AVNEncoder::do_visit(Null const&) {
    return bool(os_ << "NULL");
}

bool AVNEncoder::do_visit(BOOLEAN const& v) {
    return bool(os_ << (v ? "TRUE" : "FALSE"));
}

bool AVNEncoder::do_visit(INTEGER const& v) {
    if (v.constrained() && v.getLowerLimit() >= 0) {
        os_ << unsigned(v.getValue());
    } else {
        os_ << v.getValue();
    }
    return bool(os_);
}

bool AVNEncoder::do_visit(IntegerWithNamedNumber const& v) {
    std::string name;
    if (v.getName(name)) return bool(os_ << name);
    return do_visit(static_cast<INTEGER const&>(v));
}

bool AVNEncoder::do_visit(ENUMERATED const& v) {
    std::string_view const name = v.name();
    if (name.empty()) {
        os_ << v.asInt();
    } else {
        os_ << name;
    }
    return bool(os_);
}

bool AVNEncoder::do_visit(OBJECT_IDENTIFIER const& v) {
    os_ << "{ ";
    for (unsigned i = 0; i < v.levels() && os_; ++i) os_ << v[i] << ' ';
    os_ << '}';
    return bool(os_);
}

bool AVNEncoder::do_visit(BIT_STRING const& v) {
    os_ << '\'';
    for (unsigned i = 0; i < v.size() && os_; ++i) os_ << (v[i] ? '1' : '0');
    if (os_) os_ << "'B";
    return bool(os_);
}

void AVNEncoder::writeOctets(char const* data, std::size_t n) {
    std::ios_base::fmtflags const flags = os_.flags();
    os_ << '\'' << std::hex << std::setfill('0');
    for (std::size_t i = 0; i < n; ++i) {
        if (i) os_ << ' ';
        os_ << std::setw(2) << unsigned(static_cast<unsigned char>(data[i]));
    }
    os_ << "'H";
    os_.flags(flags);
    os_.fill(' ');
}

bool AVNEncoder::do_visit(OCTET_STRING const& v) {
    writeOctets(v.data(), v.size());
    return bool(os_);
}

// A quote inside the string is written twice, so that the reader can tell
// it from the closing one.
void AVNEncoder::writeQuoted(char const* text, std::size_t n) {
    os_ << '"';
    for (char const* end = text + n; text != end && os_;) {
        char const* quote = std::find(text, end, '"');
        os_.write(text, quote - text);
        if (quote != end) os_ << "\"\"";
        text = quote == end ? end : quote + 1;
    }
    os_ << '"';
}

bool AVNEncoder::do_visit(AbstractString const& v) {
    writeQuoted(v.data(), v.size());
    return bool(os_);
}

bool AVNEncoder::do_visit(BMPString const& v) {
    std::size_t const size = v.size() * 2 + 1;
    std::string text(size, '\0');
    // A NUL character would end the conversion early: such a string takes
    // the quadruple form like one that does not convert.
    bool const hasNul = v.find(L'\0') != std::wstring::npos;
    std::size_t const n = hasNul ? std::size_t(-1) : std::wcstombs(&text[0], v.c_str(), size);
    if (n != std::size_t(-1)) {
        writeQuoted(text.data(), n);
        return bool(os_);
    }
    os_ << '{';
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i) os_ << ", ";
        unsigned const c = unsigned(v[i]);
        os_ << "{ 0, 0, " << ((c >> 8) & 0xFF) << ", " << (c & 0xFF) << '}';
    }
    os_ << '}';
    return bool(os_);
}

bool AVNEncoder::do_visit(CHOICE const& v) {
    char const* name = v.getSelectionName();
    AbstractData const* value = v.getSelection();
    if (!name || !value) return false;
    os_ << name << " : ";
    return value->accept(*this) && os_;
}

bool AVNEncoder::do_visit(OpenData const& v) {
    if (v.has_data()) return v.get_data().accept(*this);
    if (v.has_buf()) {
        writeOctets(v.get_buf().data(), v.get_buf().size());
        return bool(os_);
    }
    return false;
}

bool AVNEncoder::do_visit(GeneralizedTime const& v) {
    return bool(os_ << '"' << v.get() << '"');
}

bool AVNEncoder::do_visit(SEQUENCE_OF_Base const& v) {
    os_ << "{\n";
    indent_ += 2;
    unsigned const n = v.size();
    for (unsigned i = 0; i < n && os_; ++i) {
        os_ << std::setw(indent_) << "";
        AbstractData const* element = v.at(i);
        if (!element || !element->accept(*this)) return false;
        if (i + 1 < n) os_ << ",\n";
    }
    indent_ -= 2;
    if (n && os_) os_ << '\n';
    os_ << std::setw(indent_ + 1) << '}';
    return bool(os_);
}

bool AVNEncoder::preVisitExtensionRoots(SEQUENCE const&) {
    fieldWritten_.push_back(false);
    os_ << "{\n";
    return bool(os_);
}

bool AVNEncoder::visitExtensionRoot(SEQUENCE const& v, int index) {
    if (fieldWritten_.back()) os_ << ",\n";
    char const* name = v.getFieldName(index);
    os_ << std::setw(int(std::char_traits<char>::length(name)) + indent_ + 2) << name << ' ';
    AbstractData const* field = v.getField(unsigned(index));
    indent_ += 2;
    bool const ok = field && field->accept(*this);
    indent_ -= 2;
    fieldWritten_.back() = true;
    return ok && os_;
}

bool AVNEncoder::visitKnownExtension(SEQUENCE const& v, int index) {
    return visitExtensionRoot(v, index);
}

bool AVNEncoder::afterVisitSequence(SEQUENCE const&) {
    if (fieldWritten_.back()) os_ << '\n';
    fieldWritten_.pop_back();
    os_ << std::setw(indent_ + 1) << '}';
    return bool(os_);
}

std::ios_base::iostate AbstractData::print_on(std::ostream& os) const {
    AVNEncoder encoder(os);
    return accept(encoder) ? std::ios_base::goodbit : std::ios_base::failbit;
}

std::string AbstractData::asValueNotation() const {
    std::ostringstream text;
    AVNEncoder encoder(text);
    accept(encoder);
    return text.str();
}

std::ostream& operator<<(std::ostream& os, AbstractData const& value) {
    return g_inserter(os, value);
}

std::ostream& operator<<(std::ostream& os, AbstractString const& value) {
    return os.write(value.data(), std::streamsize(value.size()));
}

bool printValue(std::ostream& os, AbstractData const& value) {
    if (!os.good()) return false;
    os << value;
    if (os.good()) return true;
    os.clear();
    return false;
}

}  // namespace ASN1
