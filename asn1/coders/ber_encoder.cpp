#include "asn1/coders/ber_encoder.h"

#include "asn1/asn1.h"

namespace ASN1 {

namespace {

// An INTEGER of a type whose lower bound is 0 or more holds an unsigned
// 32-bit number; its encoding gets a leading zero octet from 2^31 on, so
// that every BER decoder reads it as the positive number it is.
int64_t integerValue(INTEGER const& v) {
    if (v.constrained() && v.getLowerLimit() >= 0) return int64_t(uint32_t(v.getValue()));
    return v.getValue();
}

// Octets of the shortest two's-complement form of v (1 to 8).
int integerLength(int64_t v) {
    int n = 8;
    while (n > 1) {
        int64_t const top9 = v >> (8 * n - 9);
        if (top9 != 0 && top9 != -1) break;
        --n;
    }
    return n;
}

unsigned tagNumberOctets(unsigned number) {
    if (number < 31) return 1;
    unsigned n = 1;
    for (; number; number >>= 7) ++n;
    return n;
}

unsigned lengthOctets(unsigned length) {
    if (length < 128) return 1;
    unsigned n = 1;
    for (; length; length >>= 8) ++n;
    return n;
}

unsigned bitStringOctets(BIT_STRING const& v) {
    return (v.size() + 7) / 8;
}

}  // namespace

int getIntegerDataLength(int v) {
    return integerLength(v);
}

unsigned getDataLength(AbstractData const& v) {
    DataLengthCounter counter;
    v.accept(counter);
    return counter.getDataLen();
}

unsigned getObjectLength(AbstractData const& v, unsigned tag) {
    if (tag == OwnTag) tag = v.getTag();
    DataLengthCounter counter;
    v.accept(counter);
    return tag == 0 ? counter.getDataLen() : counter.getObjectLen(tag);
}

// --- encoder ---------------------------------------------------------------

BEREncoder::BEREncoder(std::vector<char>& out) : out_(out) {
    out_.clear();
    out_.reserve(256);
}

void BEREncoder::writeHeader(uint32_t tag, bool constructed, unsigned length) {
    unsigned const identifier = ((tag >> 16) & 0xC0) | (constructed ? 0x20 : 0);
    unsigned const number = tag & 0xFFFF;
    if (number < 31) {
        encodeByte(identifier | number);
    } else {
        encodeByte(identifier | 31);
        for (int shift = int(tagNumberOctets(number) - 2) * 7; shift > 0; shift -= 7)
            encodeByte(0x80 | ((number >> shift) & 0x7F));
        encodeByte(number & 0x7F);
    }
    if (length < 128) {
        encodeByte(length);
        return;
    }
    unsigned const k = lengthOctets(length) - 1;
    encodeByte(0x80 | k);
    for (int shift = int(k - 1) * 8; shift >= 0; shift -= 8) encodeByte(length >> shift);
}

void BEREncoder::encodeHeader(AbstractData const& value) {
    uint32_t const tag = pendingTag_ == OwnTag ? value.getTag() : pendingTag_;
    pendingTag_ = OwnTag;
    PrimitiveChecker primitive;
    writeHeader(tag, !value.accept(primitive), getDataLength(value));
}

bool BEREncoder::do_visit(Null const& v) {
    encodeHeader(v);
    return true;
}

bool BEREncoder::do_visit(BOOLEAN const& v) {
    encodeHeader(v);
    encodeByte(v ? 0xFF : 0x00);
    return true;
}

bool BEREncoder::do_visit(INTEGER const& v) {
    encodeHeader(v);
    int64_t const value = integerValue(v);
    for (int i = integerLength(value) - 1; i >= 0; --i) encodeByte(unsigned(value >> (8 * i)));
    return true;
}

bool BEREncoder::do_visit(ENUMERATED const& v) {
    encodeHeader(v);
    int const value = v.asInt();
    for (int i = getIntegerDataLength(value) - 1; i >= 0; --i)
        encodeByte(unsigned(value >> (8 * i)));
    return true;
}

bool BEREncoder::do_visit(OBJECT_IDENTIFIER const& v) {
    encodeHeader(v);
    std::vector<char> octets;
    v.encodeCommon(octets);
    encodeBlock(octets.data(), unsigned(octets.size()));
    return true;
}

bool BEREncoder::do_visit(BIT_STRING const& v) {
    encodeHeader(v);
    unsigned const bits = v.size();
    unsigned const octets = bitStringOctets(v);
    unsigned const unused = (8 - bits % 8) % 8;
    encodeByte(unused);
    if (octets == 0) return true;
    encodeBlock(v.getData().data(), octets - 1);
    // Bits past the end of the string are sent as zeros.
    encodeByte(static_cast<unsigned char>(v.getData()[octets - 1]) & (0xFF << unused));
    return true;
}

bool BEREncoder::do_visit(OCTET_STRING const& v) {
    encodeHeader(v);
    encodeBlock(v.data(), unsigned(v.size()));
    return true;
}

bool BEREncoder::do_visit(AbstractString const& v) {
    encodeHeader(v);
    encodeBlock(v.data(), unsigned(v.size()));
    return true;
}

bool BEREncoder::do_visit(BMPString const& v) {
    encodeHeader(v);
    for (wchar_t c : v) {
        encodeByte(unsigned(c) >> 8);
        encodeByte(unsigned(c));
    }
    return true;
}

bool BEREncoder::do_visit(GeneralizedTime const& v) {
    encodeHeader(v);
    std::string const text = v.get();
    encodeBlock(text.data(), unsigned(text.size()));
    return true;
}

// A tag on a CHOICE is explicit: a constructed wrapper around the complete
// encoding of the selected alternative.
bool BEREncoder::do_visit(CHOICE const& v) {
    if (v.currentSelection() < 0 || !v.getSelection()) return false;
    uint32_t const tag = pendingTag_ == OwnTag ? v.getTag() : pendingTag_;
    if (tag != 0) writeHeader(tag, true, getDataLength(v));
    pendingTag_ = v.getSelectionTag();
    return v.getSelection()->accept(*this);
}

// Likewise the tag of an open type wraps the complete inner encoding.
bool BEREncoder::do_visit(OpenData const& v) {
    uint32_t const tag = pendingTag_ == OwnTag ? v.getTag() : pendingTag_;
    pendingTag_ = OwnTag;
    if (v.isEmpty()) return false;
    if (tag != 0) writeHeader(tag, true, getDataLength(v));
    if (v.has_data()) return v.get_data().accept(*this);
    encodeBlock(v.get_buf().data(), unsigned(v.get_buf().size()));
    return true;
}

bool BEREncoder::do_visit(SEQUENCE_OF_Base const& v) {
    encodeHeader(v);
    for (AbstractData const* element : v) {
        pendingTag_ = OwnTag;
        if (!element || !element->accept(*this)) return false;
    }
    return true;
}

bool BEREncoder::preVisitExtensionRoots(SEQUENCE const& v) {
    encodeHeader(v);
    return true;
}

bool BEREncoder::encodeField(SEQUENCE const& v, int index) {
    AbstractData const* field = v.getField(unsigned(index));
    if (!field) return false;
    pendingTag_ = v.getFieldTag(index);
    return field->accept(*this);
}

bool BEREncoder::visitExtensionRoot(SEQUENCE const& v, int index) {
    return encodeField(v, index);
}

bool BEREncoder::visitKnownExtension(SEQUENCE const& v, int index) {
    return encodeField(v, index);
}

// --- length counter --------------------------------------------------------

unsigned DataLengthCounter::getObjectLen(unsigned tag) const {
    return tagNumberOctets(tag & 0xFFFF) + lengthOctets(length_) + length_;
}

bool DataLengthCounter::do_visit(Null const&) {
    return true;
}
bool DataLengthCounter::do_visit(BOOLEAN const&) {
    length_ += 1;
    return true;
}
bool DataLengthCounter::do_visit(INTEGER const& v) {
    length_ += unsigned(integerLength(integerValue(v)));
    return true;
}
bool DataLengthCounter::do_visit(ENUMERATED const& v) {
    length_ += unsigned(getIntegerDataLength(v.asInt()));
    return true;
}
bool DataLengthCounter::do_visit(OBJECT_IDENTIFIER const& v) {
    std::vector<char> octets;
    v.encodeCommon(octets);
    length_ += unsigned(octets.size());
    return true;
}
bool DataLengthCounter::do_visit(BIT_STRING const& v) {
    length_ += 1 + bitStringOctets(v);
    return true;
}
bool DataLengthCounter::do_visit(OCTET_STRING const& v) {
    length_ += unsigned(v.size());
    return true;
}
bool DataLengthCounter::do_visit(AbstractString const& v) {
    length_ += unsigned(v.size());
    return true;
}
bool DataLengthCounter::do_visit(BMPString const& v) {
    length_ += 2 * unsigned(v.size());
    return true;
}
bool DataLengthCounter::do_visit(GeneralizedTime const& v) {
    length_ += unsigned(v.get().size());
    return true;
}
bool DataLengthCounter::do_visit(CHOICE const& v) {
    if (v.currentSelection() >= 0 && v.getSelection())
        length_ += getObjectLength(*v.getSelection(), v.getSelectionTag());
    return true;
}
bool DataLengthCounter::do_visit(OpenData const& v) {
    if (v.has_data()) {
        length_ += getObjectLength(v.get_data(), OwnTag);
    } else if (v.has_buf()) {
        length_ += unsigned(v.get_buf().size());
    }
    return true;
}
bool DataLengthCounter::do_visit(SEQUENCE_OF_Base const& v) {
    for (AbstractData const* element : v) {
        if (element) length_ += getObjectLength(*element, OwnTag);
    }
    return true;
}
bool DataLengthCounter::preVisitExtensionRoots(SEQUENCE const&) {
    return true;
}
bool DataLengthCounter::visitExtensionRoot(SEQUENCE const& v, int index) {
    AbstractData const* field = v.getField(unsigned(index));
    if (field) length_ += getObjectLength(*field, v.getFieldTag(index));
    return true;
}
bool DataLengthCounter::visitKnownExtension(SEQUENCE const& v, int index) {
    return visitExtensionRoot(v, index);
}

// --- form ------------------------------------------------------------------

bool PrimitiveChecker::do_visit(CHOICE const& v) {
    return !v.getSelection() || v.getSelection()->accept(*this);
}
bool PrimitiveChecker::do_visit(OpenData const& v) {
    return !v.has_data() || v.get_data().accept(*this);
}
bool PrimitiveChecker::do_visit(SEQUENCE_OF_Base const&) {
    return false;
}
bool PrimitiveChecker::preVisitExtensionRoots(SEQUENCE const&) {
    return false;
}

}  // namespace ASN1
