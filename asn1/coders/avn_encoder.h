#pragma once
// Value-notation writer: prints any value as text close to ASN.1 value
// notation, the form in which traces and error reports show messages.
// Writing a value to a stream with operator<< uses it.

#include <ostream>
#include <vector>

#include "asn1/coders/visitor.h"

namespace ASN1 {

class AVNEncoder : public ConstVisitor {
public:
    explicit AVNEncoder(std::ostream& os) : os_(os) {}

protected:
    bool do_visit(Null const& v) override;
    bool do_visit(BOOLEAN const& v) override;
    bool do_visit(INTEGER const& v) override;
    bool do_visit(IntegerWithNamedNumber const& v) override;
    bool do_visit(ENUMERATED const& v) override;
    bool do_visit(OBJECT_IDENTIFIER const& v) override;
    bool do_visit(BIT_STRING const& v) override;
    bool do_visit(OCTET_STRING const& v) override;
    bool do_visit(AbstractString const& v) override;
    bool do_visit(BMPString const& v) override;
    bool do_visit(CHOICE const& v) override;
    bool do_visit(OpenData const& v) override;
    bool do_visit(GeneralizedTime const& v) override;
    bool do_visit(SEQUENCE_OF_Base const& v) override;
    bool preVisitExtensionRoots(SEQUENCE const& v) override;
    bool visitExtensionRoot(SEQUENCE const& v, int index) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;
    bool afterVisitSequence(SEQUENCE const& v) override;

private:
    void writeOctets(char const* data, std::size_t n);
    void writeQuoted(char const* text, std::size_t n);

    std::ostream& os_;
    int indent_ = 0;
    std::vector<bool> fieldWritten_;
};

class AbstractData;
class AbstractString;

// Prints the value notation when the stream is good; a value that cannot be
// printed (a CHOICE without selection) sets the stream's fail bit. An
// exception while printing becomes a stream state (io_wrapper.h).
std::ostream& operator<<(std::ostream& os, AbstractData const& value);
// The characters alone, without quotes.
std::ostream& operator<<(std::ostream& os, AbstractString const& value);

// For traces after a failed encode: prints the value and, when printing
// failed, clears the error state it left, so later output still appears.
// Returns whether the value printed completely.
bool printValue(std::ostream& os, AbstractData const& value);

}  // namespace ASN1
