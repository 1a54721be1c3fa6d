#pragma once
// Aligned (and unaligned) PER decoder, ITU-T X.691: reads what PEREncoder
// writes into an existing value of the expected type, creating missing
// sub-values from their records. A failed decode returns false and never
// reads outside [begin, end). Past the end a single bit reads as 0 and a
// constrained INTEGER as its lower bound; every other field fails.

#include <cstdint>
#include <vector>

#include "asn1/coders/visitor.h"
#include "asn1/types/abstract_data.h"

namespace ASN1 {

class ConstrainedObject;
class SpareValues;

// Decoder limits: most elements of a SEQUENCE OF (and extension additions of
// a SEQUENCE), most octets, characters or bits of a string.
extern unsigned MaximumArraySize;   // 128
extern unsigned MaximumStringSize;  // 16384

class PERDecoder : public Visitor {
public:
    struct memento_type {
        memento_type(char const* p = nullptr, unsigned bits = 8) : position(p), bitsLeft(bits) {}
        char const* position;  // null: no memento
        unsigned bitsLeft;
    };

    PERDecoder(char const* begin, char const* end, CoderEnv* env = nullptr, bool aligned = true);

    // Renewing decode, for a value kept from an earlier decode: afterwards it
    // holds what this input carries and nothing else, as a fresh value
    // would. Components the input leaves out are freed, extension additions
    // it does not carry return to their fresh state, and an alternative that
    // a CHOICE no longer selects goes to `spares`, from which an alternative
    // it now selects is taken when one of its type waits there.
    void renew(SpareValues& spares) { spares_ = &spares; }

    bool atEnd() const { return position_ >= end_; }
    bool aligned() const { return aligned_; }
    // Unread bits of the input.
    uint64_t getBitsLeft() const {
        return atEnd() ? 0 : uint64_t(end_ - position_) * 8 + bitsLeft_ - 8;
    }
    char const* position() const { return position_; }
    void byteAlign() {
        if (bitsLeft_ != 8) {
            bitsLeft_ = 8;
            ++position_;
        }
    }
    void setPosition(char const* p);
    void rollback(memento_type const& m);

    // Past the end of the input a single bit reads as 0.
    int decodeSingleBit() {
        if (atEnd()) return 0;
        --bitsLeft_;
        int const bit = (static_cast<unsigned char>(*position_) >> bitsLeft_) & 1;
        if (bitsLeft_ == 0) {
            bitsLeft_ = 8;
            ++position_;
        }
        return bit;
    }
    // Fields within the current octet (most of them) are cut out here; the
    // rest gathers the octets the field spans.
    bool decodeMultiBit(unsigned n, unsigned& out) {
        if (n <= bitsLeft_ && n != 0 && position_ < end_) {
            bitsLeft_ = uint16_t(bitsLeft_ - n);
            out = (static_cast<unsigned char>(*position_) >> bitsLeft_) & ((1u << n) - 1);
            if (bitsLeft_ == 0) {
                bitsLeft_ = 8;
                ++position_;
            }
            return true;
        }
        return decodeSpanningBits(n, out);
    }
    unsigned decodeBlock(char* buf, unsigned n);
    // Into `bytes`, sized for nbits.
    bool decodeBitMap(char* bytes, unsigned nbits) {
        if (nbits > 8) return decodeLongBitMap(bytes, nbits);
        if (nbits == 0) return true;
        unsigned field = 0;
        if (!decodeMultiBit(nbits, field)) return false;
        bytes[0] = char(field << (8 - nbits));
        return true;
    }
    int decodeUnsigned(unsigned lb, unsigned ub, unsigned& out) {
        if (lb == ub) {
            out = lb;
            return 0;
        }
        if (atEnd()) return -1;
        unsigned offset = 0;
        if (decodeWholeNumber(ub - lb + 1, offset) != 0) return -1;
        out = offset + lb;
        return 0;
    }
    int decodeLength(unsigned lb, unsigned ub, unsigned& out);
    bool decodeSmallUnsigned(unsigned& out);
    int decodeConstrainedLength(ConstrainedObject& obj, unsigned& out);
    bool decodeChoicePreamble(CHOICE& v, memento_type& m);

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
    // The whole SEQUENCE in one walk, not through the visit protocol's hooks.
    bool do_visit(SEQUENCE& v) override;

private:
    bool decodeSpanningBits(unsigned n, unsigned& out);
    // CHOICE::select, or in a renewing decode its counterpart with spares.
    bool select(CHOICE& v, int index);
    // Puts the extension additions back to their fresh state, but for those
    // the decoded bitmap names (with `decoded`).
    void renewExtensions(SEQUENCE& v, bool decoded);
    // The extension bitmap and the additions it names.
    bool decodeExtensions(SEQUENCE& v);
    bool decodeKnownExtension(SEQUENCE& v, unsigned index);
    // Aligned: a length octet below 128 naming at most four octets that are
    // all there; reads them. False (nothing read but the alignment) otherwise.
    bool readShortNumber(unsigned& octets, unsigned& value) {
        byteAlign();
        if (position_ >= end_ || (*position_ & 0x80)) return false;
        octets = static_cast<unsigned char>(*position_);
        if (octets > 4 || unsigned(end_ - position_) <= octets) return false;
        value = 0;
        for (unsigned i = 1; i <= octets; ++i)
            value = (value << 8) | static_cast<unsigned char>(position_[i]);
        position_ += 1 + octets;
        return true;
    }
    // A number below `range` (0 stands for 2^32).
    int decodeWholeNumber(unsigned range, unsigned& offset) {
        unsigned n = CountBits(range);
        if (aligned_ && (range == 0 || range > 255)) {
            if (n > 16) return decodeWideNumber(n, offset);
            n = n > 8 ? 16 : 8;
            byteAlign();
        }
        return decodeMultiBit(n, offset) ? 0 : -1;
    }
    // Aligned, more than 16 bits: an octet count, then the octets.
    int decodeWideNumber(unsigned bits, unsigned& offset);
    bool decodeLongBitMap(char* bytes, unsigned nbits);
    // Skips `n` octets; false when fewer remain.
    bool skipOctets(unsigned n);

    char const* position_;
    char const* end_;
    uint16_t bitsLeft_ = 8;
    bool aligned_;
    SpareValues* spares_ = nullptr;  // set in a renewing decode
};

}  // namespace ASN1
