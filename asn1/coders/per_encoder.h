#pragma once
// Aligned (and unaligned) PER encoder, ITU-T X.691. Walks a value as a
// ConstVisitor and packs bits most significant first into the caller's
// octet vector. Every visit returns false for a value that cannot be
// written; the octets written so far are then to be abandoned.

#include <cstdint>
#include <vector>

#include "asn1/coders/visitor.h"

namespace ASN1 {

class ConstrainedObject;

class PEREncoder : public ConstVisitor {
public:
    // Clears `out`; the encoding is appended to it.
    PEREncoder(std::vector<char>& out, bool aligned = true);

    bool aligned() const { return aligned_; }

    void byteAlign() { bitsLeft_ = 8; }
    void encodeSingleBit(bool bit);
    void encodeMultiBit(unsigned value, unsigned n);
    void encodeByte(unsigned value);
    void encodeBlock(char const* data, unsigned n);
    void encodeBitMap(char const* bytes, unsigned nbits);
    bool encodeUnsigned(unsigned value, unsigned lb, unsigned ub);
    // ub 0x7fffffff: no upper bound.
    bool encodeLength(unsigned n, unsigned lb, unsigned ub);
    void encodeSmallUnsigned(unsigned value);
    // Writes the extension bit of an extendable constraint; true when the
    // value (or length) is to be written in its unconstrained form.
    bool encodeConstraint(ConstrainedObject const& obj, unsigned value);
    bool encodeConstrainedLength(ConstrainedObject const& obj, unsigned n);
    // Open type: the value encoded on its own, then its length and octets.
    bool encodeAnyType(AbstractData const* value);

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
    bool preVisitExtensions(SEQUENCE const& v) override;
    bool visitKnownExtension(SEQUENCE const& v, int index) override;

private:
    // Offset from the lower bound in a range of `range` values (0: 2^32).
    void encodeWholeNumber(unsigned offset, unsigned range);

    std::vector<char>& out_;
    uint16_t bitsLeft_ = 8;
    bool aligned_;
};

}  // namespace ASN1
