#pragma once
// Aligned (and unaligned) PER decoder, ITU-T X.691: reads what PEREncoder
// writes into an existing value of the expected type, creating missing
// sub-values from their records. A failed decode returns false and never
// reads outside [begin, end). Past the end a single bit reads as 0 and a
// constrained INTEGER as its lower bound; every other field fails.

#include <cstdint>
#include <vector>

#include "asn1/coders/visitor.h"

namespace ASN1 {

class ConstrainedObject;

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

    bool atEnd() const { return position_ >= end_; }
    bool aligned() const { return aligned_; }
    // Unread bits of the input.
    uint64_t getBitsLeft() const {
        return atEnd() ? 0 : uint64_t(end_ - position_) * 8 + bitsLeft_ - 8;
    }
    char const* position() const { return position_; }
    void byteAlign();
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
    bool decodeBitMap(char* bytes, unsigned nbits);
    int decodeUnsigned(unsigned lb, unsigned ub, unsigned& out);
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
    int preVisitExtensionRoots(SEQUENCE& v) override;
    int visitExtensionRoot(SEQUENCE& v, int index, int optionalIndex) override;
    int preVisitExtensions(SEQUENCE& v) override;
    int visitKnownExtension(SEQUENCE& v, int index, int optionalIndex) override;
    int visitUnknownExtensions(SEQUENCE& v) override;

private:
    bool decodeSpanningBits(unsigned n, unsigned& out);
    // Aligned: a length octet below 128 naming at most four octets that are
    // all there; reads them. False (nothing read but the alignment) otherwise.
    bool readShortNumber(unsigned& octets, unsigned& value);
    int decodeWholeNumber(unsigned range, unsigned& offset);
    // Skips `n` octets; false when fewer remain.
    bool skipOctets(unsigned n);

    char const* position_;
    char const* end_;
    uint16_t bitsLeft_ = 8;
    bool aligned_;
};

}  // namespace ASN1
