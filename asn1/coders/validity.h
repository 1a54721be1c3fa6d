#pragma once
// Validity checks of values against the constraints of their types, and
// the tracer that says in words which component breaks which constraint.
// A value is strictly valid inside the root constraints of its type; valid
// also outside a constraint the type declares extensible. Nothing in the
// server calls these; no coder calls them before encoding.

#include <ostream>
#include <sstream>
#include <string>

#include "asn1/coders/visitor.h"

namespace ASN1 {

class ValidChecker : public ConstVisitor {
protected:
    bool do_visit(INTEGER const& v) override;
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
    bool visitExtensionRoot(SEQUENCE const& v, int index) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;
};

class StrictlyValidChecker : public ConstVisitor {
protected:
    bool do_visit(INTEGER const& v) override;
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
    bool visitExtensionRoot(SEQUENCE const& v, int index) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;
};

// Writes, for the first violation found, the path from the visited value
// down to the offending component (".field", "[index]", ".alternative")
// followed by the reason, e.g. ".slot The INTEGER value 2000 is greater
// than upper bound 1023".
class InvalidTracer : public ConstVisitor {
public:
    std::string text() const { return text_.str(); }

protected:
    bool do_visit(INTEGER const& v) override;
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
    bool visitExtensionRoot(SEQUENCE const& v, int index) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;

private:
    std::ostringstream text_;
};

std::ostream& operator<<(std::ostream& os, InvalidTracer const& tracer);

// True when the tracer finds nothing; otherwise writes prefix, the
// tracer's text and an end of line to `out` and returns false.
bool trace_invalid(std::ostream& out, char const* prefix, AbstractData const& value);

}  // namespace ASN1
