#pragma once
// Visitors over the value classes. Visitor walks a value it may change (the
// decoders); ConstVisitor one it only reads (encoders, printers). A SEQUENCE
// is not dispatched to one operation but driven through five hooks, so each
// coder only says how root fields, presence bits and extension additions are
// written or read.

namespace ASN1 {

class CoderEnv;
class AbstractData;
class Null;
class BOOLEAN;
class INTEGER;
class IntegerWithNamedNumber;
class ENUMERATED;
class OBJECT_IDENTIFIER;
class BIT_STRING;
class OCTET_STRING;
class AbstractString;
class BMPString;
class GeneralizedTime;
class CHOICE;
class SEQUENCE;
class SEQUENCE_OF_Base;
class OpenData;
class TypeConstrainedOpenData;

class Visitor {
public:
    // Codes of the SEQUENCE hooks.
    enum { Fail = 0, Stop = 1, RootOnly = 2, Continue = 3 };

    explicit Visitor(CoderEnv* env = nullptr) : env_(env) {}
    virtual ~Visitor() = default;
    CoderEnv* get_env() const { return env_; }

    bool visit(Null& v) { return do_visit(v); }
    bool visit(BOOLEAN& v) { return do_visit(v); }
    bool visit(INTEGER& v) { return do_visit(v); }
    bool visit(IntegerWithNamedNumber& v) { return do_visit(v); }
    bool visit(ENUMERATED& v) { return do_visit(v); }
    bool visit(OBJECT_IDENTIFIER& v) { return do_visit(v); }
    bool visit(OCTET_STRING& v) { return do_visit(v); }
    bool visit(BIT_STRING& v) { return do_visit(v); }
    bool visit(AbstractString& v) { return do_visit(v); }
    bool visit(BMPString& v) { return do_visit(v); }
    bool visit(CHOICE& v) { return do_visit(v); }
    bool visit(SEQUENCE_OF_Base& v) { return do_visit(v); }
    bool visit(OpenData& v) { return do_visit(v); }
    bool visit(TypeConstrainedOpenData& v) { return do_visit(v); }
    bool visit(GeneralizedTime& v) { return do_visit(v); }
    bool visit(SEQUENCE& v) { return do_visit(v); }
    bool revisit(OpenData& v) { return do_revisit(v); }

protected:
    virtual bool do_visit(Null&) = 0;
    virtual bool do_visit(BOOLEAN&) = 0;
    virtual bool do_visit(INTEGER&) = 0;
    virtual bool do_visit(IntegerWithNamedNumber& v);
    virtual bool do_visit(ENUMERATED&) = 0;
    virtual bool do_visit(OBJECT_IDENTIFIER&) = 0;
    virtual bool do_visit(OCTET_STRING&) = 0;
    virtual bool do_visit(BIT_STRING&) = 0;
    virtual bool do_visit(AbstractString&) = 0;
    virtual bool do_visit(BMPString&) = 0;
    virtual bool do_visit(CHOICE&) = 0;
    virtual bool do_visit(SEQUENCE_OF_Base&) = 0;
    virtual bool do_visit(OpenData&) = 0;
    virtual bool do_revisit(OpenData&) = 0;
    virtual bool do_visit(TypeConstrainedOpenData&) = 0;
    virtual bool do_visit(GeneralizedTime&) = 0;
    // Runs the SEQUENCE visit protocol through the five hooks below; a
    // visitor that walks a SEQUENCE in one piece overrides it instead.
    virtual bool do_visit(SEQUENCE& v);

    virtual int preVisitExtensionRoots(SEQUENCE&) { return Continue; }
    virtual int visitExtensionRoot(SEQUENCE&, int /*index*/, int /*optionalIndex*/) { return Fail; }
    virtual int preVisitExtensions(SEQUENCE&) { return Continue; }
    virtual int visitKnownExtension(SEQUENCE&, int /*index*/, int /*optionalIndex*/) {
        return Fail;
    }
    virtual int visitUnknownExtensions(SEQUENCE&) { return Stop; }

private:
    CoderEnv* env_;
};

class ConstVisitor {
public:
    virtual ~ConstVisitor() = default;

    bool visit(Null const& v) { return do_visit(v); }
    bool visit(BOOLEAN const& v) { return do_visit(v); }
    bool visit(INTEGER const& v) { return do_visit(v); }
    bool visit(IntegerWithNamedNumber const& v) { return do_visit(v); }
    bool visit(ENUMERATED const& v) { return do_visit(v); }
    bool visit(OBJECT_IDENTIFIER const& v) { return do_visit(v); }
    bool visit(BIT_STRING const& v) { return do_visit(v); }
    bool visit(OCTET_STRING const& v) { return do_visit(v); }
    bool visit(AbstractString const& v) { return do_visit(v); }
    bool visit(BMPString const& v) { return do_visit(v); }
    bool visit(CHOICE const& v) { return do_visit(v); }
    bool visit(OpenData const& v) { return do_visit(v); }
    bool visit(GeneralizedTime const& v) { return do_visit(v); }
    bool visit(SEQUENCE_OF_Base const& v) { return do_visit(v); }
    bool visit(SEQUENCE const& v) { return do_visit(v); }

protected:
    virtual bool do_visit(AbstractData const&) { return true; }
    virtual bool do_visit(Null const& v);
    virtual bool do_visit(BOOLEAN const& v);
    virtual bool do_visit(INTEGER const& v);
    virtual bool do_visit(IntegerWithNamedNumber const& v);
    virtual bool do_visit(ENUMERATED const& v);
    virtual bool do_visit(OBJECT_IDENTIFIER const& v);
    virtual bool do_visit(BIT_STRING const& v);
    virtual bool do_visit(OCTET_STRING const& v);
    virtual bool do_visit(AbstractString const& v);
    virtual bool do_visit(BMPString const& v);
    virtual bool do_visit(CHOICE const& v);
    virtual bool do_visit(OpenData const& v);
    virtual bool do_visit(GeneralizedTime const& v);
    virtual bool do_visit(SEQUENCE_OF_Base const& v);
    // Runs the SEQUENCE visit protocol through the five hooks below; a
    // visitor that walks a SEQUENCE in one piece overrides it instead.
    virtual bool do_visit(SEQUENCE const& v);

    virtual bool preVisitExtensionRoots(SEQUENCE const& v);
    virtual bool visitExtensionRoot(SEQUENCE const&, int /*index*/) { return false; }
    virtual bool preVisitExtensions(SEQUENCE const&) { return true; }
    virtual bool visitKnownExtension(SEQUENCE const&, int /*index*/) { return false; }
    virtual bool afterVisitSequence(SEQUENCE const&) { return true; }
};

}  // namespace ASN1
