#pragma once
// BER encoder (definite lengths only). The coder environment selects it for
// encoding rule 1. Identifier octets come from
// the tag that the enclosing component gives a value, or from its own;
// DataLengthCounter computes the length each header announces and
// PrimitiveChecker decides the form bit.

#include <cstdint>
#include <vector>

#include "asn1/coders/visitor.h"

namespace ASN1 {

// Tag word meaning "the value's own tag" where a pending tag is expected.
constexpr uint32_t OwnTag = 0xFFFFFFFFu;

class BEREncoder : public ConstVisitor {
public:
    // Clears `out`; octets are appended to it.
    explicit BEREncoder(std::vector<char>& out);

    void encodeByte(unsigned value) { out_.push_back(char(value)); }
    void encodeBlock(char const* data, unsigned count) {
        out_.insert(out_.end(), data, data + count);
    }
    // Identifier and length octets of `value` under the pending tag.
    void encodeHeader(AbstractData const& value);

protected:
    bool do_visit(Null const& v) override;
    bool do_visit(BOOLEAN const& v) override;
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
    bool preVisitExtensionRoots(SEQUENCE const& v) override;
    bool visitExtensionRoot(SEQUENCE const& v, int index) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;

private:
    // Writes identifier octets for `tag` and the length octets of `length`.
    void writeHeader(uint32_t tag, bool constructed, unsigned length);
    bool encodeField(SEQUENCE const& v, int index);

    std::vector<char>& out_;
    uint32_t pendingTag_ = OwnTag;
};

// Sums the contents octets of a value's encoding.
class DataLengthCounter : public ConstVisitor {
public:
    unsigned getDataLen() const { return length_; }
    // The sum plus the identifier and length octets of a header for `tag`.
    unsigned getObjectLen(unsigned tag) const;

protected:
    bool do_visit(Null const& v) override;
    bool do_visit(BOOLEAN const& v) override;
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
    bool preVisitExtensionRoots(SEQUENCE const& v) override;
    bool visitExtensionRoot(SEQUENCE const& v, int index) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;

private:
    unsigned length_ = 0;
};

// True for a value whose encoding is primitive: everything but SEQUENCE and
// SEQUENCE OF; a CHOICE or an open type answers as the value inside.
class PrimitiveChecker : public ConstVisitor {
protected:
    bool do_visit(CHOICE const& v) override;
    bool do_visit(OpenData const& v) override;
    bool do_visit(SEQUENCE_OF_Base const& v) override;
    bool preVisitExtensionRoots(SEQUENCE const& v) override;
};

// Octets of the shortest two's-complement form of v (1 to 4).
int getIntegerDataLength(int v);
// Contents length of v's encoding.
unsigned getDataLength(AbstractData const& v);
// Length of v's complete encoding under the tag word `tag` (OwnTag: v's own
// tag; 0 or an untagged value: no header).
unsigned getObjectLength(AbstractData const& v, unsigned tag);

}  // namespace ASN1
