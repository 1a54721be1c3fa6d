#pragma once
// BER decoder (definite lengths): reads octets into an existing value whose
// type drives the reading. Accepts what BEREncoder writes and what other
// BER encoders write for the same types: context tags in place of a
// component's own tag, a CHOICE's alternative taken from the tag met,
// unknown components at the end of a SEQUENCE skipped. The coder
// environment selects it for encoding rule 1.
//
// Input from a peer is untrusted: every length is checked against the
// octets that remain (and that its enclosing value holds) before anything
// is read or resized, and each component stays inside its parent.

#include <cstdint>
#include <vector>

#include "asn1/coders/visitor.h"

namespace ASN1 {

class BERDecoder : public Visitor {
public:
    BERDecoder(char const* begin, char const* end, CoderEnv* env = nullptr);

    bool atEnd() const { return pos_ >= end_; }
    // The next octet (0 to 255); callers test atEnd() first.
    unsigned decodeByte() { return static_cast<unsigned char>(*pos_++); }
    void rollback(char const* p) { pos_ = p; }
    char const* position() const { return pos_; }
    // Copies min(n, octets left) octets; returns how many.
    unsigned decodeBlock(char* dest, unsigned n);

    // One identifier and length; false on truncated or unsupported input
    // (indefinite length, a tag number beyond 16 bits, a length beyond the
    // octets that remain).
    bool decodeHeader(unsigned& tag, bool& primitive, unsigned& length);
    // A header whose tag must be the expected one: the tag that the
    // enclosing component gives the value, or else the value's own.
    bool decodeHeader(AbstractData& value, unsigned& length);
    bool decodeHeader(AbstractData& value, unsigned& length, bool& primitive);
    // The header or headers of a CHOICE: the wrapper of an explicitly tagged
    // one (its contents then entered), then the alternative's, whose tag
    // selects the alternative (CHOICE::setID). `next` is where the
    // alternative's encoding ends; the position is left at its header.
    bool decodeChoicePreamle(CHOICE& choice, char const*& next);

protected:
    bool do_visit(Null& v) override;
    bool do_visit(BOOLEAN& v) override;
    bool do_visit(INTEGER& v) override;
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
    // Contents of a constructed value: reads are limited to them until
    // leave() restores the enclosing limit.
    void enter(char const* contentsEnd);
    void leave();
    // The tag expected for the next value's header (OwnTag: its own); taken
    // by the next checked header.
    uint32_t takeExpectedTag(AbstractData const& value);
    bool readSigned(unsigned length, int64_t& value);
    int decodeField(SEQUENCE& v, int index, int optionalIndex);
    // Reads the wrapper of an explicitly tagged CHOICE or open type, if it
    // has one, and enters its contents.
    bool enterWrapper(AbstractData& value, bool& wrapped);

    char const* pos_;
    char const* end_;
    std::vector<char const*> limits_;  // enclosing ends, innermost last
    // Implicit-tag allowance: the tag that the enclosing component gives the
    // next value in place of its own (a SEQUENCE field's context tag, the
    // tag a CHOICE alternative was selected by). The next checked header
    // takes it, once, instead of the value's own tag; OwnTag: none.
    uint32_t expectedTag_;
};

}  // namespace ASN1
