#include "asn1/types/strings.h"

#include <algorithm>
#include <cstring>

#include "asn1/coders/visitor.h"

namespace ASN1 {

// Permitted characters of each 8-bit string type, ascending, NUL-terminated
// (the record's size, not strlen, counts them: IA5String holds code 0).
char const NumericStringSet[12] = " 0123456789";
char const PrintableStringSet[75] =
    " '()+,-./0123456789:=?ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
char const IA5StringSet[129] = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  16,  17,  18,
    19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,
    38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,
    57,  58,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,
    76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,
    95,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113,
    114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127, 0};
char const VisibleStringSet[96] = {
    32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
    48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
    64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
    80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,
    96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
    112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 0};
char const GeneralStringSet[257] = {
    0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
    16,   17,   18,   19,   20,   21,   22,   23,   24,   25,   26,   27,   28,   29,   30,   31,
    32,   33,   34,   35,   36,   37,   38,   39,   40,   41,   42,   43,   44,   45,   46,   47,
    48,   49,   50,   51,   52,   53,   54,   55,   56,   57,   58,   59,   60,   61,   62,   63,
    64,   65,   66,   67,   68,   69,   70,   71,   72,   73,   74,   75,   76,   77,   78,   79,
    80,   81,   82,   83,   84,   85,   86,   87,   88,   89,   90,   91,   92,   93,   94,   95,
    96,   97,   98,   99,   100,  101,  102,  103,  104,  105,  106,  107,  108,  109,  110,  111,
    112,  113,  114,  115,  116,  117,  118,  119,  120,  121,  122,  123,  124,  125,  126,  127,
    -128, -127, -126, -125, -124, -123, -122, -121, -120, -119, -118, -117, -116, -115, -114, -113,
    -112, -111, -110, -109, -108, -107, -106, -105, -104, -103, -102, -101, -100, -99,  -98,  -97,
    -96,  -95,  -94,  -93,  -92,  -91,  -90,  -89,  -88,  -87,  -86,  -85,  -84,  -83,  -82,  -81,
    -80,  -79,  -78,  -77,  -76,  -75,  -74,  -73,  -72,  -71,  -70,  -69,  -68,  -67,  -66,  -65,
    -64,  -63,  -62,  -61,  -60,  -59,  -58,  -57,  -56,  -55,  -54,  -53,  -52,  -51,  -50,  -49,
    -48,  -47,  -46,  -45,  -44,  -43,  -42,  -41,  -40,  -39,  -38,  -37,  -36,  -35,  -34,  -33,
    -32,  -31,  -30,  -29,  -28,  -27,  -26,  -25,  -24,  -23,  -22,  -21,  -20,  -19,  -18,  -17,
    -16,  -15,  -14,  -13,  -12,  -11,  -10,  -9,   -8,   -7,   -6,   -5,   -4,   -3,   -2,   -1,
    0};

ConstrainedInfo const OCTET_STRING::theInfo = {&OCTET_STRING::create, 4, Unconstrained, 0,
                                               0xFFFFFFFFu};
ConstrainedInfo const BIT_STRING::theInfo = {&BIT_STRING::create, 3, Unconstrained, 0, 0xFFFFFFFFu};
StringInfo const NumericString::theInfo = {
    &AbstractString::create, 18, Unconstrained, 0, 0xFFFFFFFFu, NumericStringSet, 11, 4, 4, 4};
StringInfo const PrintableString::theInfo = {
    &AbstractString::create, 19, Unconstrained, 0, 0xFFFFFFFFu, PrintableStringSet, 74, 7, 7, 8};
StringInfo const IA5String::theInfo = {
    &IA5String::create, 22, Unconstrained, 0, 0xFFFFFFFFu, IA5StringSet, 128, 7, 7, 8};
StringInfo const VisibleString::theInfo = {
    &AbstractString::create, 26, Unconstrained, 0, 0xFFFFFFFFu, VisibleStringSet, 95, 7, 7, 8};
StringInfo const GeneralString::theInfo = {
    &AbstractString::create, 27, Unconstrained, 0, 0xFFFFFFFFu, GeneralStringSet, 256, 8, 8, 8};
BMPStringInfo const BMPString::theInfo = {
    &BMPString::create, 30, Unconstrained, 0, 0xFFFFFFFFu, 0, 65535, 16, 16};

int OCTET_STRING::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<OCTET_STRING const&>(other);
    return lexicographic_compare_bytes(data(), data() + size(), o.data(), o.data() + o.size());
}
bool OCTET_STRING::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool OCTET_STRING::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

// The string whose most significant differing bit is 1 is the larger; equal
// common bytes compare by bit count.
int BIT_STRING::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<BIT_STRING const&>(other);
    std::size_t const n = std::min(bytes_.size(), o.bytes_.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char const a = bytes_[i], b = o.bytes_[i];
        if (a != b) {
            unsigned char const d = a ^ b;
            return int(a & d) - int(b & d);
        }
    }
    return int(bits_ - o.bits_);
}
bool BIT_STRING::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool BIT_STRING::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

AbstractString::size_type AbstractString::find_first_invalid() const {
    unsigned const n = getCharacterSetSize();
    char const* set = getCharacterSet();
    if (n == 0 || !set) return npos;
    for (size_type i = 0; i < size(); ++i) {
        if (!std::memchr(set, (*this)[i], n)) return i;
    }
    return npos;
}

int AbstractString::do_compare(AbstractData const& other) const {
    return std::string::compare(static_cast<AbstractString const&>(other));
}
bool AbstractString::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool AbstractString::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

int BMPString::do_compare(AbstractData const& other) const {
    return std::wstring::compare(static_cast<BMPString const&>(other));
}
bool BMPString::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool BMPString::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

}  // namespace ASN1
