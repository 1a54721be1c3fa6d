#include "asn1/coders/per_encoder.h"

#include <cstdint>

#include "asn1/asn1.h"

namespace ASN1 {

namespace {

constexpr unsigned NoUpperBound = 0x7fffffff;
// Largest length of the unconstrained form without fragmentation.
constexpr unsigned MaximumUnfragmentedLength = 16383;

// A value whose lower bound is negative is range-checked as signed.
bool inRange(int v, int lb, unsigned ub) {
    if (lb >= 0) return unsigned(v) >= unsigned(lb) && unsigned(v) <= ub;
    return v >= lb && v <= int(ub);
}

}  // namespace

PEREncoder::PEREncoder(std::vector<char>& out, bool aligned) : out_(out), aligned_(aligned) {
    out_.clear();
    out_.reserve(256);
}

void PEREncoder::encodeBlock(char const* data, unsigned n) {
    if (n == 0) return;
    byteAlign();
    out_.insert(out_.end(), data, data + n);
}

void PEREncoder::encodeLongBitMap(char const* bytes, unsigned nbits) {
    unsigned const whole = nbits / 8;
    for (unsigned i = 0; i < whole; ++i) encodeMultiBit(static_cast<unsigned char>(bytes[i]), 8);
    unsigned const rest = nbits % 8;
    if (rest) encodeMultiBit(static_cast<unsigned char>(bytes[whole]) >> (8 - rest), rest);
}

void PEREncoder::encodeWideNumber(unsigned offset, unsigned bits) {
    unsigned const octets = offset == 0 ? 1 : (CountBits(offset + 1) + 7) / 8;
    encodeWholeNumber(octets - 1, (bits + 7) / 8);
    byteAlign();
    encodeMultiBit(offset, 8 * octets);
}

bool PEREncoder::encodeUnsigned(unsigned value, unsigned lb, unsigned ub) {
    if (value < lb || value > ub) return false;
    if (lb == ub) return true;
    encodeWholeNumber(value - lb, ub - lb + 1);
    return true;
}

bool PEREncoder::encodeLength(unsigned n, unsigned lb, unsigned ub) {
    if (n < lb || n > ub) return false;
    if (!aligned_ && ub != NoUpperBound) {
        encodeMultiBit(n - lb, CountBits(ub - lb + 1));
        return true;
    }
    if (ub <= 65535) return encodeUnsigned(n, lb, ub);
    if (n > MaximumUnfragmentedLength) return false;
    byteAlign();
    if (n <= 127) {
        encodeMultiBit(n, 8);
    } else {
        encodeMultiBit(0x8000 | n, 16);
    }
    return true;
}

void PEREncoder::encodeSmallUnsigned(unsigned value) {
    if (value <= 63) {
        encodeMultiBit(value, 7);
        return;
    }
    encodeSingleBit(true);
    unsigned const octets = value < 0x100 ? 1 : value < 0x10000 ? 2 : value < 0x1000000 ? 3 : 4;
    encodeLength(octets, 0, NoUpperBound);
    byteAlign();
    encodeMultiBit(value, 8 * octets);
}

bool PEREncoder::encodeConstraint(ConstrainedObject const& obj, unsigned value) {
    if (obj.extendable()) {
        bool const outside = !inRange(int(value), obj.getLowerLimit(), obj.getUpperLimit());
        encodeSingleBit(outside);
        return outside;
    }
    return obj.getConstraintType() != FixedConstraint;
}

bool PEREncoder::encodeConstrainedLength(ConstrainedObject const& obj, unsigned n) {
    if (encodeConstraint(obj, n)) return encodeLength(n, 0, NoUpperBound);
    return encodeLength(n, unsigned(obj.getLowerLimit()), obj.getUpperLimit());
}

bool PEREncoder::encodeAnyType(AbstractData const* value) {
    std::vector<char> inner;
    PEREncoder encoder(inner, true);
    if (value && !value->accept(encoder)) return false;
    if (inner.empty()) inner.push_back(0);
    if (!encodeLength(unsigned(inner.size()), 0, NoUpperBound)) return false;
    encodeBlock(inner.data(), unsigned(inner.size()));
    return true;
}

bool PEREncoder::do_visit(Null const&) {
    return true;
}

bool PEREncoder::do_visit(BOOLEAN const& v) {
    encodeSingleBit(bool(v));
    return true;
}

bool PEREncoder::do_visit(INTEGER const& v) {
    int const value = v.getValue();
    int const lb = v.getLowerLimit();
    unsigned const ub = v.getUpperLimit();
    if (v.getConstraintType() == FixedConstraint) {
        if (!inRange(value, lb, ub)) return false;
        if (unsigned(lb) != ub)
            encodeWholeNumber(unsigned(value) - unsigned(lb), ub - unsigned(lb) + 1);
        return true;
    }
    if (!encodeConstraint(v, unsigned(value))) {
        if (!inRange(value, lb, ub)) return false;
        if (unsigned(lb) != ub)
            encodeWholeNumber(unsigned(value) - unsigned(lb), ub - unsigned(lb) + 1);
        return true;
    }
    // Two's complement in the fewest octets that hold the value and its sign.
    unsigned bits;
    if (value == 0) {
        bits = 1;
    } else if (value < 0) {
        bits = CountBits(unsigned(-int64_t(value))) + 1;
    } else {
        bits = CountBits(unsigned(value) + 1) + 1;
    }
    unsigned const octets = (bits + 7) / 8;
    if (!encodeLength(octets, 0, NoUpperBound)) return false;
    encodeMultiBit(unsigned(value), 8 * octets);
    return true;
}

bool PEREncoder::do_visit(ENUMERATED const& v) {
    int const value = v.asInt();
    int const maximum = v.getMaximum();
    if (v.extendable()) {
        bool const extension = value > maximum;
        encodeSingleBit(extension);
        if (extension) {
            encodeSmallUnsigned(unsigned(value) + 1);
            return encodeUnsigned(unsigned(value), 0, unsigned(value));
        }
    }
    if (value < 0 || maximum < 0) return false;
    return encodeUnsigned(unsigned(value), 0, unsigned(maximum));
}

bool PEREncoder::do_visit(OBJECT_IDENTIFIER const& v) {
    std::vector<char> octets;
    v.encodeCommon(octets);
    if (!encodeLength(unsigned(octets.size()), 0, 255)) return false;
    encodeBlock(octets.data(), unsigned(octets.size()));
    return true;
}

// Contents of a size-constrained string are octet-aligned unless the size is
// fixed and the contents take at most 16 bits.
static bool fixedSmall(ConstrainedObject const& obj, unsigned bitsPerUnit) {
    return obj.getConstraintType() == FixedConstraint &&
           unsigned(obj.getLowerLimit()) == obj.getUpperLimit() &&
           uint64_t(obj.getUpperLimit()) * bitsPerUnit <= 16;
}

bool PEREncoder::do_visit(BIT_STRING const& v) {
    unsigned const size = v.size();
    if (!encodeConstrainedLength(v, size)) return false;
    if (size == 0) return true;
    // Bits past the size in the last octet are never sent.
    std::vector<char> bytes(v.getData().begin(), v.getData().begin() + (size + 7) / 8);
    if (size % 8) bytes.back() = char(bytes.back() & (0xFF00 >> (size % 8)));
    if (aligned_ && !fixedSmall(v, 1)) byteAlign();
    encodeBitMap(bytes.data(), size);
    return true;
}

bool PEREncoder::do_visit(OCTET_STRING const& v) {
    unsigned const length = unsigned(v.size());
    if (!encodeConstrainedLength(v, length)) return false;
    if (length == 0) return true;
    if (fixedSmall(v, 8)) {
        for (char c : v) encodeMultiBit(static_cast<unsigned char>(c), 8);
        return true;
    }
    encodeBlock(v.data(), length);
    return true;
}

bool PEREncoder::do_visit(AbstractString const& v) {
    unsigned const length = unsigned(v.size());
    if (!encodeConstrainedLength(v, length)) return false;
    unsigned const width = v.getNumBits(aligned_);
    // Characters are octet-aligned unless the constraint keeps them under
    // 16 bits in all (the rule Erlang/OTP's coder follows as well).
    if (!v.constrained() || uint64_t(v.getUpperLimit()) * width >= 16) {
        if (width == 8) {
            encodeBlock(v.data(), length);
            return true;
        }
        if (aligned_ && length) byteAlign();
    }
    bool const byCode = v.getCanonicalSetBits() <= width && v.getCanonicalSetBits() > 4;
    char const* set = v.getCharacterSet();
    unsigned const setSize = v.getCharacterSetSize();
    for (char c : v) {
        unsigned char const code = c;
        if (byCode) {
            if (setSize && set && !std::char_traits<char>::find(set, setSize, c)) return false;
            encodeMultiBit(code, width);
            continue;
        }
        char const* at = set ? std::char_traits<char>::find(set, setSize, c) : nullptr;
        if (!at) return false;
        encodeMultiBit(unsigned(at - set), width);
    }
    return true;
}

bool PEREncoder::do_visit(BMPString const& v) {
    unsigned const length = unsigned(v.size());
    if (!encodeConstrainedLength(v, length)) return false;
    unsigned const width = v.getNumBits(aligned_);
    if (aligned_ && length && (!v.constrained() || uint64_t(v.getUpperLimit()) * width > 16))
        byteAlign();
    for (wchar_t c : v) {
        unsigned const code = unsigned(c);
        if (code < v.getFirstChar() || code > v.getLastChar()) return false;
        encodeMultiBit(code - v.getFirstChar(), width);
    }
    return true;
}

bool PEREncoder::do_visit(CHOICE const& v) {
    int const index = v.currentSelection();
    if (index < 0 || unsigned(index) >= v.getTotalChoices() || !v.getSelection()) return false;
    unsigned const roots = v.getNumChoices();
    if (v.extendable()) {
        bool const extension = unsigned(index) >= roots;
        encodeSingleBit(extension);
        if (extension) {
            encodeSmallUnsigned(unsigned(index) - roots);
            return encodeAnyType(v.getSelection());
        }
    } else if (unsigned(index) >= roots) {
        return false;
    }
    if (roots > 1 && !encodeUnsigned(unsigned(index), 0, roots - 1)) return false;
    return v.getSelection()->accept(*this);
}

bool PEREncoder::do_visit(OpenData const& v) {
    return encodeAnyType(v.has_data() ? &v.get_data() : nullptr);
}

bool PEREncoder::do_visit(GeneralizedTime const& v) {
    std::string const text = v.get();
    if (!encodeLength(unsigned(text.size()), 0, aligned_ ? 0xffffffffu : NoUpperBound))
        return false;
    encodeBlock(text.data(), unsigned(text.size()));
    return true;
}

bool PEREncoder::do_visit(SEQUENCE_OF_Base const& v) {
    if (!encodeConstrainedLength(v, v.size())) return false;
    for (AbstractData const* element : v) {
        if (!element || !element->accept(*this)) return false;
    }
    return true;
}

// The whole SEQUENCE in one walk, in the order of the visit protocol:
// extension bit and presence bits, the present root components, then the
// known extension additions that are present, each as an open type. Only
// the additions this version knows are written: the bitmap covers all of
// them, so a decoded value that carried unknown additions re-encodes as a
// valid value of this version.
bool PEREncoder::do_visit(SEQUENCE const& v) {
    SequenceInfo const* rec = v.record();
    bool const extensions = rec->extendable && v.hasKnownExtension();
    if (rec->extendable) encodeSingleBit(extensions);
    encodeBitMap(v.optionalMap().bytes(), rec->numOptionals);
    int optional = -1;  // presence number of the last optional component
    for (unsigned i = 0; i < rec->numRootFields; ++i) {
        int const id = rec->fieldIds[i];
        if (id != -1) optional = id;
        if (id != -1 && !v.hasOptionalField(unsigned(id))) continue;
        AbstractData const* field = v.getField(i);
        if (!field || !field->accept(*this)) return false;
    }
    if (!extensions) return true;
    unsigned const known = rec->numKnownExtensions;
    encodeSmallUnsigned(known - 1);
    for (unsigned k = 0; k < known; ++k) encodeSingleBit(v.extensionMap()[k]);
    for (unsigned i = rec->numRootFields; i < v.fieldCount(); ++i) {
        if (!v.hasOptionalField(unsigned(++optional))) continue;
        AbstractData const* field = v.getField(i);
        if (!field || !encodeAnyType(field)) return false;
    }
    return true;
}

}  // namespace ASN1
