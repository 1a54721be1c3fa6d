#include "asn1/coders/avn_decoder.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "asn1/asn1.h"
#include "asn1/coders/io_wrapper.h"

namespace ASN1 {

namespace {

// The message modules also name fields and items with "_" in them.
bool isNameCharacter(int c) {
    return std::isalnum(c) || c == '-' || c == '_';
}

// The digit value of c in `base`, or -1.
int digitValue(char c, unsigned base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v >= 0 && unsigned(v) < base ? v : -1;
}

// True when a root field after `index` is mandatory.
bool mandatoryAfter(SEQUENCE const& v, int index) {
    SequenceInfo const* rec = v.record();
    for (unsigned i = unsigned(index + 1); i < rec->numRootFields; ++i) {
        if (rec->fieldIds[i] == -1) return true;
    }
    return false;
}

}  // namespace

// --- shared readers --------------------------------------------------------

bool input_success(std::istream& is) {
    return !(is.rdstate() & (std::ios_base::badbit | std::ios_base::failbit));
}

bool is_space_or_newline(char c) {
    return c == ' ' || c == '\n';
}

bool get_string(std::istream& is, std::string& out) {
    char c = 0;
    if (!(is >> c) || c != '"') return false;
    out.clear();
    for (;;) {
        int const next = is.get();
        if (next == std::char_traits<char>::eof()) return false;
        if (next == '"') {
            if (is.peek() != '"') return true;
            is.get();
        }
        out += char(next);
    }
}

bool get_from_string(std::string digits, unsigned base, std::vector<char>& octets,
                     unsigned& count) {
    std::string kept;
    for (char c : digits) {
        if (!is_space_or_newline(c)) kept += c;
    }
    unsigned const perOctet = base == 2 ? 8 : 2;
    unsigned const bitsPerDigit = base == 2 ? 1 : 4;
    count = unsigned(kept.size()) * bitsPerDigit;
    while (kept.size() % perOctet) kept += '0';
    std::vector<char> result;
    result.reserve(kept.size() / perOctet);
    for (std::size_t i = 0; i < kept.size(); i += perOctet) {
        unsigned octet = 0;
        for (unsigned k = 0; k < perOctet; ++k) {
            int const d = digitValue(kept[i + k], base);
            if (d < 0) return false;
            octet = octet * base + unsigned(d);
        }
        result.push_back(char(octet));
    }
    octets.swap(result);
    return true;
}

bool get_from_bstring(std::string const& digits, std::vector<char>& octets, unsigned& count) {
    return get_from_string(digits, 2, octets, count);
}

bool get_from_hstring(std::string const& digits, std::vector<char>& octets, unsigned& count) {
    return get_from_string(digits, 16, octets, count);
}

bool get_value_from(std::istream& is, std::vector<char>& octets, unsigned& count) {
    char c = 0;
    if (!(is >> c) || c != '\'') return false;
    std::string digits;
    if (!std::getline(is, digits, '\'')) return false;
    if (!(is >> c)) return false;
    if (c == 'B') return get_from_bstring(digits, octets, count);
    if (c == 'H') return get_from_hstring(digits, octets, count);
    return false;
}

bool get_id(char const* const* names, unsigned count, std::string const& name, int& index) {
    for (unsigned i = 0; i < count; ++i) {
        if (name == names[i]) {
            index = int(i);
            return true;
        }
    }
    return false;
}

// --- decoder ---------------------------------------------------------------

bool AVNDecoder::take(char c) {
    is_ >> std::ws;
    if (is_.peek() != std::char_traits<char>::to_int_type(c)) return false;
    is_.get();
    return true;
}

std::string AVNDecoder::readLetters() {
    std::string letters;
    char c = 0;
    while (is_ >> c) {
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            is_.putback(c);
            break;
        }
        letters += c;
    }
    return letters;
}

std::string AVNDecoder::readName() {
    is_ >> std::ws;
    if (take('}')) return "}";
    std::string name;
    while (isNameCharacter(is_.peek())) name += char(is_.get());
    return name;
}

bool AVNDecoder::readSignedNumber(int& value) {
    is_ >> value;
    return input_success(is_);
}

bool AVNDecoder::do_visit(Null&) {
    return readLetters() == "NULL";
}

bool AVNDecoder::do_visit(BOOLEAN& v) {
    std::string const word = readLetters();
    if (word == "TRUE") {
        v = true;
    } else if (word == "FALSE") {
        v = false;
    } else {
        return false;
    }
    return true;
}

bool AVNDecoder::do_visit(INTEGER& v) {
    if (v.constrained() && v.getLowerLimit() >= 0) {
        // The stream would take "-5" as the unsigned number 4294967291.
        is_ >> std::ws;
        if (is_.peek() == '-') return false;
        unsigned value = 0;
        is_ >> value;
        if (!input_success(is_)) return false;
        v = int(value);
        return true;
    }
    int value = 0;
    if (!readSignedNumber(value)) return false;
    v = value;
    return true;
}

bool AVNDecoder::do_visit(IntegerWithNamedNumber& v) {
    is_ >> std::ws;
    int const next = is_.peek();
    if (std::isdigit(next) || next == '-') return do_visit(static_cast<INTEGER&>(v));
    return v.setFromName(readName());
}

// A name, or the number of a value that has none (as the writer prints it).
bool AVNDecoder::do_visit(ENUMERATED& v) {
    is_ >> std::ws;
    int const next = is_.peek();
    if (std::isdigit(next) || next == '-') {
        int value = 0;
        if (!readSignedNumber(value)) return false;
        v.setFromInt(value);
        return true;
    }
    return v.setFromName(readName());
}

bool AVNDecoder::do_visit(OBJECT_IDENTIFIER& v) {
    if (!take('{')) return false;
    std::string contents;
    if (!std::getline(is_, contents, '}')) return false;
    std::istringstream tokens(contents);
    OBJECT_IDENTIFIER arcs(v.info());
    std::string token;
    while (tokens >> token) {
        std::size_t digitsAt = 0;
        if (!std::isdigit(static_cast<unsigned char>(token[0]))) {
            // A name with its number: "iso(1)", or "iso (1)".
            std::size_t const open = token.find('(');
            if (open == std::string::npos) {
                if (!(tokens >> token) || token[0] != '(') return false;
                digitsAt = 1;
            } else {
                digitsAt = open + 1;
            }
        }
        char* end = nullptr;
        char const* digits = token.c_str() + digitsAt;
        if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
        // 64 bits also where long has 32, so that the range test below can fail.
        unsigned long long const arc = std::strtoull(digits, &end, 10);
        bool const whole = *end == '\0' || (digitsAt > 0 && *end == ')');
        if (!whole || arc > UINT_MAX) return false;
        arcs.append(unsigned(arc));
    }
    v = arcs;
    return true;
}

bool AVNDecoder::do_visit(OCTET_STRING& v) {
    std::vector<char> octets;
    unsigned count = 0;
    if (!get_value_from(is_, octets, count)) return false;
    v = octets;
    return true;
}

bool AVNDecoder::do_visit(BIT_STRING& v) {
    std::vector<char> octets;
    unsigned count = 0;
    if (!get_value_from(is_, octets, count)) return false;
    v.getData().swap(octets);
    v.resize(count);
    return true;
}

bool AVNDecoder::do_visit(AbstractString& v) {
    std::string text;
    if (!get_string(is_, text)) return false;
    v.assign(text);
    return true;
}

// The quoted form, or the list of quadruples { 0, 0, high, low } that the
// writer uses for characters it cannot convert.
bool AVNDecoder::do_visit(BMPString& v) {
    is_ >> std::ws;
    if (is_.peek() == '"') {
        std::string text;
        if (!get_string(is_, text)) return false;
        std::wstring wide(text.size() + 1, L'\0');
        std::size_t const n = std::mbstowcs(&wide[0], text.c_str(), wide.size());
        if (n == std::size_t(-1)) return false;
        wide.resize(n);
        v.std::wstring::assign(wide);
        return true;
    }
    if (!take('{')) return false;
    std::wstring wide;
    do {
        unsigned group = 0, plane = 0, high = 0, low = 0;
        if (!take('{') || !(is_ >> group) || !take(',') || !(is_ >> plane) || !take(',') ||
            !(is_ >> high) || !take(',') || !(is_ >> low) || !take('}'))
            return false;
        if (group != 0 || plane != 0 || high > 255 || low > 255) return false;
        wide += wchar_t(high << 8 | low);
    } while (take(','));
    if (!take('}')) return false;
    v.std::wstring::assign(wide);
    return true;
}

bool AVNDecoder::do_visit(CHOICE& v) {
    std::string name;
    char colon = 0;
    if (!(is_ >> name) || !(is_ >> colon) || colon != ':') return false;
    auto const* rec = static_cast<ChoiceInfo const*>(v.info());
    int index = -1;
    if (!get_id(rec->selectionNames, rec->totalChoices, name, index)) return false;
    if (!v.select(index) || !v.getSelection()) return false;
    return v.getSelection()->accept(*this);
}

bool AVNDecoder::do_visit(SEQUENCE_OF_Base& v) {
    if (!take('{')) return false;
    v.clear();
    if (take('}')) return true;
    for (;;) {
        AbstractData* element = v.createElement();
        if (!element) return false;
        if (!element->accept(*this)) {
            delete element;
            return false;
        }
        v.push_back(element);
        if (take('}')) return true;
        if (!take(',')) return false;
    }
}

// An open type of unknown inner type reads back only the octets that the
// writer prints for it when it holds no decoded value.
bool AVNDecoder::do_visit(OpenData& v) {
    auto* octets = new std::vector<char>;
    unsigned count = 0;
    if (!get_value_from(is_, *octets, count)) {
        delete octets;
        return false;
    }
    v.receive(octets);
    return true;
}

bool AVNDecoder::do_revisit(OpenData&) {
    return false;
}

bool AVNDecoder::do_visit(TypeConstrainedOpenData& v) {
    return v.has_data() && v.get_data().accept(*this);
}

bool AVNDecoder::do_visit(GeneralizedTime& v) {
    std::string text;
    if (!get_string(is_, text)) return false;
    v.set(text.c_str());
    return true;
}

int AVNDecoder::preVisitExtensionRoots(SEQUENCE& v) {
    if (!take('{')) return Fail;
    // The text names every field the value holds: the fields are read into
    // a fresh value, so that none that the value held before stays present.
    SEQUENCE(v.info()).swap(v);
    if (take('}')) return mandatoryAfter(v, -1) ? Fail : Stop;
    names_.push_back(readName());
    return Continue;
}

int AVNDecoder::visitExtensionRoot(SEQUENCE& v, int index, int optionalIndex) {
    bool const optional = optionalIndex != -1;
    if (names_.back() != v.getFieldName(index)) return optional ? Continue : Fail;
    if (optional) v.includeOptionalField(unsigned(optionalIndex), unsigned(index));
    AbstractData* field = v.getField(unsigned(index));
    if (!field || !field->accept(*this)) return Fail;
    if (take(',')) {
        names_.back() = readName();
        return Continue;
    }
    // The end of the text of this SEQUENCE: no mandatory field may follow.
    if (!take('}') || mandatoryAfter(v, index)) return Fail;
    names_.pop_back();
    return Stop;
}

int AVNDecoder::visitKnownExtension(SEQUENCE& v, int index, int optionalIndex) {
    return visitExtensionRoot(v, index, optionalIndex);
}

// Reached after a trailing "," (the name read is then "}") or with a name
// that no field matched.
int AVNDecoder::visitUnknownExtensions(SEQUENCE&) {
    if (names_.empty() || names_.back() != "}") return Fail;
    names_.pop_back();
    return Stop;
}

// --- entry points ----------------------------------------------------------

std::ios_base::iostate AbstractData::get_from(std::istream& is) {
    AVNDecoder decoder(is);
    return accept(decoder) ? std::ios_base::goodbit : std::ios_base::failbit;
}

bool AbstractData::setFromValueNotation(std::string const& text) {
    std::istringstream is(text);
    return get_from(is) == std::ios_base::goodbit;
}

std::istream& operator>>(std::istream& is, AbstractData& value) {
    return g_extractor(is, value);
}

}  // namespace ASN1
