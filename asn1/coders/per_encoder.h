#pragma once
// Aligned (and unaligned) PER encoder, ITU-T X.691. Walks a value as a
// ConstVisitor and packs bits most significant first into the caller's
// octet vector. Every visit returns false for a value that cannot be
// written; the octets written so far are then to be abandoned.

#include <cstdint>
#include <vector>

#include "asn1/coders/visitor.h"
#include "asn1/types/abstract_data.h"

namespace ASN1 {

class ConstrainedObject;

class PEREncoder : public ConstVisitor {
public:
    // Clears `out`; the encoding is appended to it.
    PEREncoder(std::vector<char>& out, bool aligned = true);

    bool aligned() const { return aligned_; }

    void byteAlign() { bitsLeft_ = 8; }
    void encodeSingleBit(bool bit) {
        if (bitsLeft_ == 8) out_.push_back(0);
        --bitsLeft_;
        if (bit) out_.back() = char(out_.back() | (1 << bitsLeft_));
        if (bitsLeft_ == 0) bitsLeft_ = 8;
    }
    // The low n bits of value (n up to 32), most significant first: the
    // partly filled octet is completed, whole octets appended, and a rest
    // starts a new octet.
    void encodeMultiBit(unsigned value, unsigned n) {
        if (n == 0) return;
        if (n < 32) value &= (1u << n) - 1;
        if (bitsLeft_ != 8) {
            if (n < bitsLeft_) {
                bitsLeft_ = uint16_t(bitsLeft_ - n);
                out_.back() = char(out_.back() | (value << bitsLeft_));
                return;
            }
            n -= bitsLeft_;
            out_.back() = char(out_.back() | (value >> n));
            bitsLeft_ = 8;
            value &= (1u << n) - 1;  // n is below 32 here
        }
        while (n >= 8) {
            n -= 8;
            out_.push_back(char(value >> n));
        }
        if (n) {
            out_.push_back(char(value << (8 - n)));
            bitsLeft_ = uint16_t(8 - n);
        }
    }
    void encodeByte(unsigned value) {
        byteAlign();
        out_.push_back(char(value));
    }
    void encodeBlock(char const* data, unsigned n);
    void encodeBitMap(char const* bytes, unsigned nbits) {
        if (nbits <= 8) {
            if (nbits) encodeMultiBit(static_cast<unsigned char>(bytes[0]) >> (8 - nbits), nbits);
            return;
        }
        encodeLongBitMap(bytes, nbits);
    }
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
    bool do_visit(SEQUENCE const& v) override;

private:
    // Offset from the lower bound in a range of `range` values (0: 2^32).
    void encodeWholeNumber(unsigned offset, unsigned range) {
        unsigned n = CountBits(range);
        if (aligned_ && (range == 0 || range > 255)) {
            if (n > 16) return encodeWideNumber(offset, n);
            n = n > 8 ? 16 : 8;
            byteAlign();
        }
        encodeMultiBit(offset, n);
    }
    void encodeLongBitMap(char const* bytes, unsigned nbits);
    // Aligned, more than 16 bits: an octet count, then the octets.
    void encodeWideNumber(unsigned offset, unsigned bits);

    std::vector<char>& out_;
    uint16_t bitsLeft_ = 8;
    bool aligned_;
};

}  // namespace ASN1
