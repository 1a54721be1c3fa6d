#include "asn1/coders/ber_decoder.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "asn1/asn1.h"
#include "asn1/coders/ber_encoder.h"

namespace ASN1 {

namespace {

bool unsignedType(INTEGER const& v) {
    return v.constrained() && v.getLowerLimit() >= 0;
}

}  // namespace

BERDecoder::BERDecoder(char const* begin, char const* end, CoderEnv* env)
    : Visitor(env), pos_(begin), end_(end), expectedTag_(OwnTag) {}

unsigned BERDecoder::decodeBlock(char* dest, unsigned n) {
    unsigned const left = atEnd() ? 0 : unsigned(end_ - pos_);
    unsigned const count = std::min(n, left);
    std::copy(pos_, pos_ + count, dest);
    pos_ += count;
    return count;
}

void BERDecoder::enter(char const* contentsEnd) {
    limits_.push_back(end_);
    end_ = contentsEnd;
}

void BERDecoder::leave() {
    end_ = limits_.back();
    limits_.pop_back();
}

bool BERDecoder::decodeHeader(unsigned& tag, bool& primitive, unsigned& length) {
    if (atEnd()) return false;
    unsigned const identifier = decodeByte();
    primitive = !(identifier & 0x20);
    unsigned number = identifier & 0x1F;
    if (number == 31) {
        number = 0;
        unsigned octet = 0;
        do {
            if (atEnd()) return false;
            octet = decodeByte();
            number = number * 128 + (octet & 0x7F);
            if (number > 0xFFFF) return false;  // beyond the tag word
        } while (octet & 0x80);
    }
    tag = ((identifier & 0xC0) << 16) | number;
    if (atEnd()) return false;
    unsigned const first = decodeByte();
    uint64_t value = first;
    if (first & 0x80) {
        unsigned const k = first & 0x7F;
        if (k == 0 || k == 0x7F) return false;  // indefinite form, reserved
        value = 0;
        for (unsigned i = 0; i < k; ++i) {
            if (atEnd()) return false;
            value = value * 256 + decodeByte();
            if (value > uint64_t(end_ - pos_)) return false;
        }
    }
    if (value > uint64_t(end_ - pos_)) return false;
    length = unsigned(value);
    return true;
}

uint32_t BERDecoder::takeExpectedTag(AbstractData const& value) {
    uint32_t const tag = expectedTag_;
    expectedTag_ = OwnTag;
    return tag == OwnTag ? value.getTag() : tag;
}

bool BERDecoder::decodeHeader(AbstractData& value, unsigned& length, bool& primitive) {
    uint32_t const expected = takeExpectedTag(value);
    char const* start = pos_;
    unsigned tag = 0;
    if (decodeHeader(tag, primitive, length) && tag == expected) return true;
    rollback(start);
    return false;
}

bool BERDecoder::decodeHeader(AbstractData& value, unsigned& length) {
    bool primitive = true;
    return decodeHeader(value, length, primitive);
}

bool BERDecoder::readSigned(unsigned length, int64_t& value) {
    if (length == 0 || length > 8) return false;
    value = static_cast<signed char>(decodeByte());
    for (unsigned i = 1; i < length; ++i) value = int64_t(uint64_t(value) << 8) | decodeByte();
    return true;
}

bool BERDecoder::do_visit(Null& v) {
    unsigned length = 0;
    if (!decodeHeader(v, length)) return false;
    pos_ += length;
    return true;
}

bool BERDecoder::do_visit(BOOLEAN& v) {
    unsigned length = 0;
    if (!decodeHeader(v, length)) return false;
    for (unsigned i = 0; i < length; ++i) v = decodeByte() != 0;
    return true;
}

bool BERDecoder::do_visit(INTEGER& v) {
    unsigned length = 0;
    int64_t value = 0;
    if (!decodeHeader(v, length) || !readSigned(length, value)) return false;
    // The number must fit the 32 bits the type holds: unsigned for a type
    // whose lower bound is 0 or more, signed otherwise.
    bool const fits = unsignedType(v) ? value >= 0 && value <= int64_t(UINT32_MAX)
                                      : value >= INT32_MIN && value <= INT32_MAX;
    if (!fits) return false;
    v = int(uint32_t(value));
    return true;
}

bool BERDecoder::do_visit(ENUMERATED& v) {
    unsigned length = 0;
    int64_t value = 0;
    // Read signed, as an INTEGER: the contents octets of an ENUMERATED are
    // the two's-complement encoding of its number, so 0A 01 FF is -1, not
    // 255, and an enumeration listing a negative number gets it back.
    if (!decodeHeader(v, length) || !readSigned(length, value)) return false;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    v.setFromInt(int(value));
    return true;
}

bool BERDecoder::do_visit(OBJECT_IDENTIFIER& v) {
    unsigned length = 0;
    if (!decodeHeader(v, length)) return false;
    char const* contents = pos_;
    pos_ += length;
    return v.decodeCommon(contents, length);
}

bool BERDecoder::do_visit(OCTET_STRING& v) {
    unsigned length = 0;
    bool primitive = true;
    // Constructed (segmented) strings are not supported: refused rather
    // than taken as octets.
    if (!decodeHeader(v, length, primitive) || !primitive) return false;
    v.assign(pos_, pos_ + length);
    pos_ += length;
    return true;
}

bool BERDecoder::do_visit(BIT_STRING& v) {
    unsigned length = 0;
    bool primitive = true;
    if (!decodeHeader(v, length, primitive) || !primitive || length == 0) return false;
    unsigned const unused = decodeByte();
    if (unused > 7 || (length == 1 && unused != 0)) return false;
    v.resize(8 * (length - 1) - unused);
    std::copy(pos_, pos_ + (length - 1), v.getData().begin());
    pos_ += length - 1;
    return true;
}

bool BERDecoder::do_visit(AbstractString& v) {
    unsigned length = 0;
    bool primitive = true;
    if (!decodeHeader(v, length, primitive) || !primitive) return false;
    v.std::string::assign(pos_, length);
    pos_ += length;
    return true;
}

bool BERDecoder::do_visit(BMPString& v) {
    unsigned length = 0;
    bool primitive = true;
    if (!decodeHeader(v, length, primitive) || !primitive || length % 2) return false;
    v.std::wstring::assign(length / 2, L'\0');
    for (wchar_t& c : v) {
        unsigned const high = decodeByte();
        c = wchar_t(high << 8 | decodeByte());
    }
    return true;
}

bool BERDecoder::do_visit(GeneralizedTime& v) {
    unsigned length = 0;
    if (!decodeHeader(v, length)) return false;
    std::string const text(pos_, length);
    pos_ += length;
    v.set(text.c_str());
    return true;
}

bool BERDecoder::enterWrapper(AbstractData& value, bool& wrapped) {
    uint32_t const tag = takeExpectedTag(value);
    wrapped = tag != 0;
    if (!wrapped) return true;
    char const* start = pos_;
    unsigned found = 0, length = 0;
    bool primitive = false;
    if (!decodeHeader(found, primitive, length) || found != tag) {
        rollback(start);
        return false;
    }
    enter(pos_ + length);
    return true;
}

bool BERDecoder::decodeChoicePreamle(CHOICE& choice, char const*& next) {
    bool wrapped = false;
    if (!enterWrapper(choice, wrapped)) return false;
    char const* start = pos_;
    unsigned tag = 0, length = 0;
    bool primitive = true;
    if (!decodeHeader(tag, primitive, length)) return false;
    next = pos_ + length;
    rollback(start);
    return choice.setID(tag & 0xFFFF, (tag >> 16) & 0xFF);
}

bool BERDecoder::do_visit(CHOICE& v) {
    std::size_t const depth = limits_.size();
    char const* alternativeEnd = nullptr;
    if (!decodeChoicePreamle(v, alternativeEnd)) return false;
    unsigned const selectionTag = v.getSelectionTag();
    expectedTag_ = selectionTag == 0 ? OwnTag : selectionTag;
    if (!v.getSelection()->accept(*this)) return false;
    pos_ = alternativeEnd;
    if (limits_.size() > depth) {
        // Whatever else the wrapper holds is skipped with it.
        pos_ = end_;
        leave();
    }
    return true;
}

bool BERDecoder::do_visit(SEQUENCE_OF_Base& v) {
    v.clear();
    unsigned length = 0;
    if (!decodeHeader(v, length)) return false;
    enter(pos_ + length);
    while (!atEnd()) {
        char const* before = pos_;
        AbstractData* element = v.createElement();
        if (!element) return false;
        expectedTag_ = OwnTag;
        if (!element->accept(*this) || pos_ == before) {
            delete element;
            return false;
        }
        v.push_back(element);
    }
    leave();
    return true;
}

// The open type keeps the complete encoding of the value inside: under an
// explicit tag the wrapper's contents, otherwise the whole element.
bool BERDecoder::do_visit(OpenData& v) {
    bool wrapped = false;
    if (!enterWrapper(v, wrapped)) return false;
    char const* start = pos_;
    if (wrapped) {
        pos_ = end_;
        leave();
    } else {
        unsigned tag = 0, length = 0;
        bool primitive = true;
        if (!decodeHeader(tag, primitive, length)) return false;
        pos_ += length;
    }
    v.receive(new std::vector<char>(start, pos_));
    return true;
}

bool BERDecoder::do_revisit(OpenData& v) {
    if (!v.has_buf() || !v.has_data()) return false;
    std::vector<char> const& buf = v.get_buf();
    BERDecoder inner(buf.data(), buf.data() + buf.size(), get_env());
    return v.get_data().accept(inner);
}

bool BERDecoder::do_visit(TypeConstrainedOpenData& v) {
    bool wrapped = false;
    if (!enterWrapper(v, wrapped) || !v.has_data()) return false;
    expectedTag_ = OwnTag;
    if (!v.get_data().accept(*this)) return false;
    if (wrapped) {
        pos_ = end_;
        leave();
    }
    return true;
}

int BERDecoder::preVisitExtensionRoots(SEQUENCE& v) {
    unsigned length = 0;
    if (!decodeHeader(v, length)) return Fail;
    enter(pos_ + length);
    return Continue;
}

int BERDecoder::decodeField(SEQUENCE& v, int index, int optionalIndex) {
    bool const optional = optionalIndex != -1;
    // An optional field that the input lacks is absent whatever the value
    // held before the decode.
    auto absent = [&] {
        if (!optional) return Fail;
        v.removeOptionalField(unsigned(optionalIndex));
        return Continue;
    };
    if (atEnd()) return absent();
    char const* start = pos_;
    unsigned tag = 0, length = 0;
    bool primitive = true;
    if (!decodeHeader(tag, primitive, length)) return Fail;
    rollback(start);
    unsigned const fieldTag = v.getFieldTag(index);
    if (fieldTag != 0 && fieldTag != tag) return absent();
    if (optional) v.includeOptionalField(unsigned(optionalIndex), unsigned(index));
    AbstractData* field = v.getField(unsigned(index));
    if (!field) return absent();
    std::size_t const depth = limits_.size();
    char const* end = end_;
    expectedTag_ = fieldTag == 0 ? OwnTag : fieldTag;
    if (field->accept(*this)) return Continue;
    if (!optional) return Fail;
    v.removeOptionalField(unsigned(optionalIndex));
    if (fieldTag != 0) return Fail;
    // An untagged optional CHOICE or open type that matched nothing is
    // absent: the next field starts where this one was looked for.
    limits_.resize(depth);
    end_ = end;
    pos_ = start;
    expectedTag_ = OwnTag;
    return Continue;
}

int BERDecoder::visitExtensionRoot(SEQUENCE& v, int index, int optionalIndex) {
    return decodeField(v, index, optionalIndex);
}

int BERDecoder::visitKnownExtension(SEQUENCE& v, int index, int optionalIndex) {
    return decodeField(v, index, optionalIndex);
}

// Whatever is left in the contents (components this version does not know)
// is skipped.
int BERDecoder::visitUnknownExtensions(SEQUENCE&) {
    pos_ = end_;
    leave();
    return Stop;
}

}  // namespace ASN1
