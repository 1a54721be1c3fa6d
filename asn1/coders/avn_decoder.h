#pragma once
// Value-notation reader: parses the text that AVNEncoder writes back into a
// value whose type is already known (the caller makes the value, the reader
// fills it). The decoder of the coder environment's text rule; also behind
// operator>>, AbstractData::get_from and AbstractData::setFromValueNotation.
// Fields of a SEQUENCE must appear in declaration order; absent OPTIONAL
// fields are left out. The value read holds what the text says, whatever it
// held before.

#include <istream>
#include <string>
#include <vector>

#include "asn1/coders/visitor.h"

namespace ASN1 {

class AVNDecoder : public Visitor {
public:
    AVNDecoder(std::istream& is, CoderEnv* env = nullptr) : Visitor(env), is_(is) {}

protected:
    bool do_visit(Null& v) override;
    bool do_visit(BOOLEAN& v) override;
    bool do_visit(INTEGER& v) override;
    bool do_visit(IntegerWithNamedNumber& v) override;
    bool do_visit(ENUMERATED& v) override;
    bool do_visit(OBJECT_IDENTIFIER& v) override;
    bool do_visit(OCTET_STRING& v) override;
    bool do_visit(BIT_STRING& v) override;
    bool do_visit(AbstractString& v) override;
    bool do_visit(BMPString& v) override;
    bool do_visit(CHOICE& v) override;
    bool do_visit(SEQUENCE_OF_Base& v) override;
    bool do_visit(OpenData& v) override;
    bool do_revisit(OpenData& v) override;
    bool do_visit(TypeConstrainedOpenData& v) override;
    bool do_visit(GeneralizedTime& v) override;

    int preVisitExtensionRoots(SEQUENCE& v) override;
    int visitExtensionRoot(SEQUENCE& v, int index, int optionalIndex) override;
    int visitKnownExtension(SEQUENCE& v, int index, int optionalIndex) override;
    int visitUnknownExtensions(SEQUENCE& v) override;

private:
    // Letters read one character at a time, blanks skipped before each, up
    // to the first other character (put back). At the end of the text the
    // last read fails and leaves the end-of-input and fail bits on the
    // stream; the letters read before still count.
    std::string readLetters();
    // A name after blanks: letters, digits and '-' (a lone "}" is a name
    // too, so that the end of a SEQUENCE reads like one).
    std::string readName();
    // True when the next character after blanks is `c` (then consumed).
    bool take(char c);
    bool readSignedNumber(int& value);

    std::istream& is_;
    std::vector<std::string> names_;  // per SEQUENCE: the field name read last
};

// Reads value notation into a value of the expected type: fails the stream
// when the text does not read. An exception while reading becomes a stream
// state (io_wrapper.h).
std::istream& operator>>(std::istream& is, AbstractData& value);

// Neither the bad nor the fail bit is set (end of input alone is success).
bool input_success(std::istream& is);
// A double-quoted string: the characters up to the closing quote, a doubled
// quote standing for one quote character.
bool get_string(std::istream& is, std::string& out);
// 'digits'B or 'digits'H: the octets, first digit most significant, padded
// with zeros; `count` is the number of bits the digits give.
bool get_value_from(std::istream& is, std::vector<char>& octets, unsigned& count);
bool get_from_string(std::string digits, unsigned base, std::vector<char>& octets, unsigned& count);
bool get_from_bstring(std::string const& digits, std::vector<char>& octets, unsigned& count);
bool get_from_hstring(std::string const& digits, std::vector<char>& octets, unsigned& count);
// Position of `name` in names[0 .. count-1].
bool get_id(char const* const* names, unsigned count, std::string const& name, int& index);
// The space and the line feed only.
bool is_space_or_newline(char c);

}  // namespace ASN1
