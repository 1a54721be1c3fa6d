#include "asn1/coders/per_decoder.h"

#include <cstring>
#include <memory>

#include "asn1/asn1.h"
#include "asn1/coders/spare_values.h"

namespace ASN1 {

unsigned MaximumArraySize = 128;
unsigned MaximumStringSize = 16384;

namespace {

constexpr unsigned NoUpperBound = 0x7fffffff;

bool fixedSmall(ConstrainedObject const& obj, unsigned bitsPerUnit) {
    return obj.getConstraintType() == FixedConstraint &&
           unsigned(obj.getLowerLimit()) == obj.getUpperLimit() &&
           uint64_t(obj.getUpperLimit()) * bitsPerUnit <= 16;
}

}  // namespace

PERDecoder::PERDecoder(char const* begin, char const* end, CoderEnv* env, bool aligned)
    : Visitor(env), position_(begin), end_(end < begin ? begin : end), aligned_(aligned) {}

void PERDecoder::setPosition(char const* p) {
    position_ = p < end_ ? p : end_;
    bitsLeft_ = 8;
}

void PERDecoder::rollback(memento_type const& m) {
    if (!m.position) return;
    position_ = m.position < end_ ? m.position : end_;
    bitsLeft_ = uint16_t(m.bitsLeft);
}

bool PERDecoder::skipOctets(unsigned n) {
    if (unsigned(end_ - position_) < n) return false;
    position_ += n;
    return true;
}

bool PERDecoder::decodeSpanningBits(unsigned n, unsigned& out) {
    if (n > 32 || getBitsLeft() < n) return false;
    if (n == 0) {
        out = 0;
        return true;
    }
    // The field spans at most five octets: gather them, then cut it out.
    unsigned const used = 8u - bitsLeft_;
    unsigned const total = used + n;
    unsigned const octets = (total + 7) / 8;
    uint64_t word = 0;
    for (unsigned i = 0; i < octets; ++i)
        word = (word << 8) | static_cast<unsigned char>(position_[i]);
    word >>= octets * 8 - total;
    out = unsigned(word & (n == 32 ? 0xFFFFFFFFull : (1ull << n) - 1));
    position_ += total / 8;
    bitsLeft_ = uint16_t(8 - total % 8);
    return true;
}

unsigned PERDecoder::decodeBlock(char* buf, unsigned n) {
    if (n == 0) return 0;
    byteAlign();
    if (atEnd()) return 0;
    unsigned const available = unsigned(end_ - position_);
    unsigned const count = n < available ? n : available;
    std::memcpy(buf, position_, count);
    position_ += count;
    return count;
}

bool PERDecoder::decodeLongBitMap(char* bytes, unsigned nbits) {
    if (getBitsLeft() < nbits) return false;
    unsigned const whole = nbits / 8;
    unsigned field = 0;
    for (unsigned i = 0; i < whole; ++i) {
        decodeMultiBit(8, field);
        bytes[i] = char(field);
    }
    unsigned const rest = nbits % 8;
    if (rest) {
        decodeMultiBit(rest, field);
        bytes[whole] = char(field << (8 - rest));
    }
    return true;
}

int PERDecoder::decodeWideNumber(unsigned bits, unsigned& offset) {
    unsigned count = 0;
    if (decodeWholeNumber((bits + 7) / 8, count) != 0) return -1;
    byteAlign();
    return decodeMultiBit(8 * (count + 1), offset) ? 0 : -1;
}

int PERDecoder::decodeLength(unsigned lb, unsigned ub, unsigned& out) {
    if (!aligned_ && ub != NoUpperBound) {
        unsigned field = 0;
        if (!decodeMultiBit(CountBits(ub - lb + 1), field)) return -1;
        out = field + lb;
        return 0;
    }
    if (ub <= 65535) return decodeUnsigned(lb, ub, out);
    byteAlign();
    if (atEnd()) return -1;
    unsigned first = 0;
    decodeMultiBit(8, first);
    if ((first & 0x80) == 0) {
        out = first;
        return 0;
    }
    if ((first & 0x40) != 0) return -1;  // fragmented form: not supported
    unsigned second = 0;
    if (!decodeMultiBit(8, second)) return -1;
    out = ((first & 0x3F) << 8) | second;
    return 0;
}

bool PERDecoder::decodeSmallUnsigned(unsigned& out) {
    if (decodeSingleBit() == 0) return decodeMultiBit(6, out);
    unsigned octets = 0;
    if (decodeLength(0, NoUpperBound, octets) != 0 || octets > 4) return false;
    byteAlign();
    return decodeMultiBit(8 * octets, out);
}

int PERDecoder::decodeConstrainedLength(ConstrainedObject& obj, unsigned& out) {
    if (obj.extendable() && decodeSingleBit()) return decodeLength(0, NoUpperBound, out);
    if (obj.getConstraintType() == Unconstrained) return decodeLength(0, NoUpperBound, out);
    return decodeLength(unsigned(obj.getLowerLimit()), obj.getUpperLimit(), out);
}

bool PERDecoder::do_visit(Null&) {
    return true;
}

bool PERDecoder::do_visit(BOOLEAN& v) {
    if (atEnd()) return false;
    v = decodeSingleBit() != 0;
    return true;
}

bool PERDecoder::do_visit(INTEGER& v) {
    auto const* rec = static_cast<ConstrainedInfo const*>(v.info());
    ConstraintType const type = ConstraintType(rec->type);
    bool const extension = type == ExtendableConstraint && decodeSingleBit();
    if (!extension && (type == FixedConstraint || type == ExtendableConstraint)) {
        unsigned value = unsigned(rec->lowerLimit);
        // Input that ends before the number reads as the lower bound.
        if (decodeUnsigned(unsigned(rec->lowerLimit), rec->upperLimit, value) != 0)
            value = unsigned(rec->lowerLimit);
        v.setValue(int(value));
        return true;
    }
    unsigned octets = 0;
    unsigned value = 0;
    bool const quick = aligned_ && type == Unconstrained && readShortNumber(octets, value);
    if (!quick && (decodeLength(0, NoUpperBound, octets) != 0 || octets > 4 ||
                   !decodeMultiBit(8 * octets, value)))
        return false;
    // Two's complement, except the semi-constrained form, which is unsigned.
    if (type != PartiallyConstrained && octets > 0 && octets < 4 &&
        (value >> (8 * octets - 1)) & 1) {
        value |= ~0u << (8 * octets);
    }
    v.setValue(int(value));
    return true;
}

bool PERDecoder::do_visit(ENUMERATED& v) {
    if (v.extendable() && decodeSingleBit()) {
        unsigned count = 0;
        unsigned value = 0;
        if (decodeSmallUnsigned(count) && count != 0 && decodeUnsigned(0, count - 1, value) == 0) {
            v.setFromInt(int(value));
            return true;
        }
    }
    if (v.getMaximum() < 0) return false;
    unsigned value = 0;
    if (decodeUnsigned(0, unsigned(v.getMaximum()), value) != 0) return false;
    v.setFromInt(int(value));
    return true;
}

bool PERDecoder::do_visit(OBJECT_IDENTIFIER& v) {
    unsigned length = 0;
    if (decodeLength(0, 255, length) != 0) return false;
    char const* const contents = position_;
    if (!skipOctets(length)) return false;
    return v.decodeCommon(contents, length);
}

bool PERDecoder::do_visit(BIT_STRING& v) {
    unsigned size = 0;
    if (decodeConstrainedLength(v, size) != 0 || size > MaximumStringSize) return false;
    if (size == 0) {
        v.resize(0);
        return true;
    }
    if (aligned_ && !fixedSmall(v, 1)) byteAlign();
    if (getBitsLeft() < size) return false;
    v.resize(size);
    return decodeBitMap(v.getData().data(), size);
}

bool PERDecoder::do_visit(OCTET_STRING& v) {
    unsigned length = 0;
    if (decodeConstrainedLength(v, length) != 0 || length > MaximumStringSize) return false;
    if (length == 0) {
        v.clear();
        return true;
    }
    if (fixedSmall(v, 8)) {
        if (getBitsLeft() < 8u * length) return false;
        v.resize(length);
        unsigned octet = 0;
        for (unsigned i = 0; i < length; ++i) {
            decodeMultiBit(8, octet);
            v[i] = char(octet);
        }
        return true;
    }
    byteAlign();
    if (unsigned(end_ - position_) < length) return false;
    v.assign(position_, position_ + length);
    position_ += length;
    return true;
}

bool PERDecoder::do_visit(AbstractString& v) {
    unsigned length = 0;
    if (decodeConstrainedLength(v, length) != 0 || length > MaximumStringSize) return false;
    unsigned const width = v.getNumBits(aligned_);
    if (!v.constrained() || uint64_t(v.getUpperLimit()) * width >= 16) {
        if (width == 8) {
            if (length) byteAlign();
            if (unsigned(end_ - position_) < length) {
                v.clear();
                return false;
            }
            v.std::string::assign(position_, position_ + length);
            position_ += length;
            return true;
        }
        if (aligned_ && length) byteAlign();
    }
    if (getBitsLeft() < uint64_t(width) * length) return false;
    bool const byCode = v.getCanonicalSetBits() <= width && v.getCanonicalSetBits() > 4;
    char const* set = v.getCharacterSet();
    unsigned const setSize = v.getCharacterSetSize();
    v.resize(length);
    for (unsigned i = 0; i < length; ++i) {
        unsigned field = 0;
        if (!decodeMultiBit(width, field)) return false;
        if (byCode) {
            v[i] = char(field);
        } else {
            if (!set || field >= setSize) return false;  // index outside the alphabet
            v[i] = set[field];
        }
    }
    return true;
}

bool PERDecoder::do_visit(BMPString& v) {
    unsigned length = 0;
    if (decodeConstrainedLength(v, length) != 0 || length > MaximumStringSize) return false;
    unsigned const width = v.getNumBits(aligned_);
    if (aligned_ && length && (!v.constrained() || uint64_t(v.getUpperLimit()) * width >= 17))
        byteAlign();
    if (getBitsLeft() < uint64_t(width) * length) return false;
    v.resize(length);
    for (unsigned i = 0; i < length; ++i) {
        unsigned field = 0;
        if (!decodeMultiBit(width, field)) return false;
        v[i] = wchar_t(v.getFirstChar() + field);
    }
    return true;
}

bool PERDecoder::decodeChoicePreamble(CHOICE& v, memento_type& m) {
    if (atEnd()) return false;
    unsigned index = 0;
    unsigned const roots = v.getNumChoices();
    if (v.extendable() && decodeSingleBit()) {
        unsigned length = 0;
        if (!decodeSmallUnsigned(index) || decodeLength(0, NoUpperBound, length) != 0) return false;
        index += roots;
        unsigned const available = unsigned(end_ - position_);
        m = memento_type(position_ + (length < available ? length : available), 8);
    } else if (roots > 1) {
        if (decodeUnsigned(0, roots - 1, index) != 0) return false;
        // A root index names a root alternative, never an extension addition.
        if (index >= roots) return false;
    }
    return select(v, int(index));
}

bool PERDecoder::select(CHOICE& v, int index) {
    if (!spares_) return v.select(index);
    if (v.currentSelection() == index && v.getSelection()) return true;
    spares_->put(v.takeSelection());
    void const* const info = v.selectionInfo(index);
    if (!info) {
        v.setSelection(CHOICE::UnknownSelection, nullptr);
        return false;
    }
    AbstractData* value = spares_->take(info);
    if (!value) value = AbstractData::create(info);
    v.setSelection(index, value);
    return true;
}

bool PERDecoder::do_visit(CHOICE& v) {
    memento_type m;
    if (!decodeChoicePreamble(v, m)) return false;
    AbstractData* value = v.getSelection();
    if (!value) return false;
    if (m.position) {
        // An extension alternative is an open type: decode it on its own octets.
        PERDecoder inner(position_, m.position, get_env(), true);
        inner.spares_ = spares_;
        bool const ok = value->accept(inner);
        rollback(m);
        return ok;
    }
    return value->accept(*this);
}

bool PERDecoder::do_visit(SEQUENCE_OF_Base& v) {
    unsigned count = 0;
    if (decodeConstrainedLength(v, count) != 0 || count > MaximumArraySize) return false;
    if (v.size() > count) v.erase(v.begin() + count, v.end());
    v.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        if (i == v.size()) v.push_back(v.createElement());
        AbstractData* element = v.at(i);
        if (!element) element = *(v.begin() + i) = v.createElement();
        if (!element || !element->accept(*this)) {
            v.erase(v.begin() + i, v.end());
            return false;
        }
    }
    return true;
}

bool PERDecoder::do_visit(OpenData& v) {
    unsigned length = 0;
    if (decodeLength(0, NoUpperBound, length) != 0 || length > MaximumStringSize) return false;
    if (length) byteAlign();
    if (unsigned(end_ - position_) < length) return false;
    v.receive(new std::vector<char>(position_, position_ + length));
    position_ += length;
    return true;
}

bool PERDecoder::do_revisit(OpenData& v) {
    if (!v.has_buf() || !v.has_data()) return false;
    std::vector<char> const& buf = v.get_buf();
    PERDecoder inner(buf.data(), buf.data() + buf.size(), get_env(), true);
    return v.get_data().accept(inner);
}

bool PERDecoder::do_visit(TypeConstrainedOpenData& v) {
    unsigned length = 0;
    if (decodeLength(0, NoUpperBound, length) != 0) return false;
    unsigned const available = unsigned(end_ - position_);
    char const* const stop = position_ + (length < available ? length : available);
    if (!v.has_data()) {
        v.set_data(
            AbstractData::create(static_cast<TypeConstrainedOpenInfo const*>(v.info())->innerInfo));
        if (!v.has_data()) return false;
    }
    PERDecoder inner(position_, stop, get_env(), true);
    inner.spares_ = spares_;
    bool const ok = v.get_data().accept(inner);
    setPosition(stop);
    return ok;
}

bool PERDecoder::do_visit(GeneralizedTime& v) {
    unsigned length = 0;
    if (decodeLength(0, NoUpperBound, length) != 0) return false;
    char text[16384];
    unsigned const copied = decodeBlock(text, length);
    if (copied == 0) return false;
    text[copied] = 0;
    v.set(text);
    return true;
}

// The whole SEQUENCE in one walk, in the order of the visit protocol:
// extension bit and presence bits, the root components, then the extension
// bitmap and the known and unknown additions.
bool PERDecoder::do_visit(SEQUENCE& v) {
    SequenceInfo const* rec = v.record();
    bool extension = false;
    if (rec->extendable) {
        if (atEnd()) return false;
        extension = decodeSingleBit() != 0;
    }
    SEQUENCE::BitMap& present = v.optionalMap();
    if (rec->numOptionals && !decodeBitMap(present.bytes(), rec->numOptionals)) return false;
    for (unsigned i = 0; i < rec->numRootFields; ++i) {
        int const id = rec->fieldIds[i];
        AbstractData* field = v.getField(i);
        if (id != -1 && !present[unsigned(id)]) {
            if (spares_ && field) v.setField(i, nullptr);
            continue;
        }
        if (!field) {
            field = AbstractData::create(rec->fieldInfos[i]);
            if (!field) return false;
            v.setField(i, field);
        }
        if (!field->accept(*this)) return false;
    }
    if (extension) return decodeExtensions(v);
    // Without additions in the input the value holds those of a fresh one,
    // whatever it held before the decode. Usually there is nothing to put
    // back: no additions and an empty bitmap.
    if (rec->numKnownExtensions || v.extensionMap().size()) renewExtensions(v, false);
    return true;
}

bool PERDecoder::decodeExtensions(SEQUENCE& v) {
    unsigned count = 0;
    // The number is the count less one; checked before adding the one, so
    // that 0xffffffff cannot wrap round to an empty bitmap.
    if (!decodeSmallUnsigned(count) || count >= MaximumArraySize) return false;
    ++count;
    SEQUENCE::BitMap& map = v.extensionMap();
    map.resize(count);
    if (!decodeBitMap(map.bytes(), count)) return false;
    if (spares_) renewExtensions(v, true);
    SequenceInfo const* rec = v.record();
    // Extension addition k has the presence number numOptionals + k.
    for (unsigned i = rec->numRootFields; i < v.fieldCount(); ++i) {
        if (!v.hasOptionalField(rec->numOptionals + (i - rec->numRootFields))) continue;
        if (!decodeKnownExtension(v, i)) return false;
    }
    // Those this version does not know are skipped by their lengths.
    for (unsigned k = rec->numKnownExtensions; k < map.size(); ++k) {
        if (!map[k]) continue;
        unsigned length = 0;
        if (decodeLength(0, NoUpperBound, length) != 0) return false;
        if (length) byteAlign();
        if (!skipOctets(length)) return false;
    }
    return true;
}

// An open type: the addition is decoded on its own octets, and the walk goes
// on after them whatever it read.
bool PERDecoder::decodeKnownExtension(SEQUENCE& v, unsigned index) {
    unsigned length = 0;
    if (decodeLength(0, NoUpperBound, length) != 0) return false;
    unsigned const available = unsigned(end_ - position_);
    char const* const stop = position_ + (length < available ? length : available);
    AbstractData* field = v.getField(index);
    if (!field) {
        field = AbstractData::create(v.record()->fieldInfos[index]);
        v.setField(index, field);
    }
    bool ok = true;
    if (field) {
        PERDecoder inner(position_, stop, get_env(), true);
        inner.spares_ = spares_;
        ok = field->accept(inner);
    }
    setPosition(stop);
    return ok;
}

void PERDecoder::renewExtensions(SEQUENCE& v, bool decoded) {
    // A fresh value holds the additions that every value of the type
    // carries, made anew with their bits set, and no other.
    SequenceInfo const* rec = v.record();
    unsigned char const* always = rec->nonOptionalExtensions;
    auto const carried = [always](unsigned k) {
        return always && (always[k / 8] & (0x80 >> (k % 8)));
    };
    SEQUENCE::BitMap& map = v.extensionMap();
    if (!decoded) {
        map.resize(0);
        if (always) {
            map.resize(rec->numKnownExtensions);
            for (unsigned k = 0; k < rec->numKnownExtensions; ++k)
                if (carried(k)) map.set(k);
        }
    }
    for (unsigned k = 0; k < rec->numKnownExtensions; ++k) {
        if (decoded && map[k]) continue;  // decoded from the input
        unsigned const i = rec->numRootFields + k;
        v.setField(i, carried(k) ? AbstractData::create(rec->fieldInfos[i]) : nullptr);
    }
}

}  // namespace ASN1
