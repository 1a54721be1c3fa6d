#pragma once
// OCTET STRING, BIT STRING, the 8-bit character strings and BMPString. The
// size constraint and, for character strings, the permitted alphabet and the
// bits per character come from the record.

#include <string>
#include <vector>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class OCTET_STRING : public ConstrainedObject,
                     public std::vector<char>,
                     public detail::Allocator<OCTET_STRING> {
public:
    static ConstrainedInfo const theInfo;
    explicit OCTET_STRING(void const* info = &theInfo) : ConstrainedObject(info) {}
    OCTET_STRING(unsigned count, char fill, void const* info)
        : ConstrainedObject(info), std::vector<char>(count, fill) {}
    OCTET_STRING(std::vector<char> const& octets, void const* info)
        : ConstrainedObject(info), std::vector<char>(octets) {}
    OCTET_STRING(OCTET_STRING const&) = default;
    OCTET_STRING& operator=(OCTET_STRING const&) = default;
    OCTET_STRING& operator=(std::vector<char> const& octets) {
        std::vector<char>::operator=(octets);
        return *this;
    }
    operator std::string() const { return std::string(data(), size()); }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;
    static AbstractData* create(void const* info) { return new OCTET_STRING(info); }

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;
};

// Bits packed most significant first: bit i is bit 7 - i % 8 of byte i / 8.
class BIT_STRING : public ConstrainedObject, public detail::Allocator<BIT_STRING> {
public:
    static ConstrainedInfo const theInfo;
    explicit BIT_STRING(void const* info = &theInfo) : ConstrainedObject(info) {}
    BIT_STRING(BIT_STRING const&) = default;
    BIT_STRING& operator=(BIT_STRING const&) = default;
    static AbstractData* create(void const* info) { return new BIT_STRING(info); }

    void resize(unsigned bits) {
        bytes_.resize((bits + 7) / 8);
        bits_ = bits;
    }
    unsigned size() const { return bits_; }
    bool operator[](unsigned i) const { return i < bits_ && (bytes_[i / 8] >> (7 - i % 8) & 1); }
    void set(unsigned i, bool on) {
        if (i >= bits_) return;
        char const mask = char(0x80 >> (i % 8));
        bytes_[i / 8] = on ? char(bytes_[i / 8] | mask) : char(bytes_[i / 8] & ~mask);
    }
    std::vector<char>& getData() { return bytes_; }
    std::vector<char> const& getData() const { return bytes_; }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    unsigned bits_ = 0;
    std::vector<char> bytes_;
};

class AbstractString : public ConstrainedObject,
                       public std::string,
                       public detail::Allocator<AbstractString> {
public:
    explicit AbstractString(void const* info) : ConstrainedObject(info) {}
    AbstractString(void const* info, std::string const& text)
        : ConstrainedObject(info), std::string(text) {}
    AbstractString(void const* info, char const* text)
        : ConstrainedObject(info), std::string(text) {}
    AbstractString(AbstractString const&) = default;
    AbstractString& operator=(AbstractString const&) = default;
    AbstractString& assign(std::string const& text) {
        std::string::assign(text);
        return *this;
    }
    static AbstractData* create(void const* info) { return new AbstractString(info); }

    char const* getCharacterSet() const { return record()->characterSet; }
    unsigned getCharacterSetSize() const { return record()->characterSetSize; }
    unsigned getCanonicalSetBits() const { return record()->canonicalSetBits; }
    unsigned getNumBits(bool aligned) const {
        return aligned ? record()->numBitsAligned : record()->numBitsUnaligned;
    }
    // Position of the first character outside the permitted set, or npos.
    size_type find_first_invalid() const;
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    StringInfo const* record() const { return static_cast<StringInfo const*>(info()); }
};

class IA5String : public AbstractString {
public:
    static StringInfo const theInfo;
    explicit IA5String(void const* info = &theInfo) : AbstractString(info) {}
    IA5String(std::string const& text, void const* info = &theInfo) : AbstractString(info, text) {}
    // Text as such (not taken for a record pointer).
    IA5String(char const* text, void const* info = &theInfo) : AbstractString(info, text) {}
    IA5String(IA5String const&) = default;
    IA5String& operator=(IA5String const&) = default;
    IA5String& operator=(std::string const& text) {
        assign(text);
        return *this;
    }
    static AbstractData* create(void const* info) { return new IA5String(info); }
};

// The other 8-bit character strings have no class of their own: their values
// are AbstractStrings bound to these records.
struct NumericString {
    static StringInfo const theInfo;
};
struct PrintableString {
    static StringInfo const theInfo;
};
struct VisibleString {
    static StringInfo const theInfo;
};
struct GeneralString {
    static StringInfo const theInfo;
};

extern char const NumericStringSet[12];
extern char const PrintableStringSet[75];
extern char const VisibleStringSet[96];
extern char const IA5StringSet[129];
extern char const GeneralStringSet[257];

class BMPString : public ConstrainedObject, public std::wstring {
public:
    static BMPStringInfo const theInfo;
    explicit BMPString(void const* info = &theInfo) : ConstrainedObject(info) {}
    BMPString(std::wstring const& text, void const* info)
        : ConstrainedObject(info), std::wstring(text) {}
    BMPString(wchar_t const* text, void const* info)
        : ConstrainedObject(info), std::wstring(text) {}
    BMPString(BMPString const&) = default;
    BMPString& operator=(BMPString const&) = default;
    BMPString& assign(wchar_t const* text, unsigned count) {
        std::wstring::assign(text, count);
        return *this;
    }
    static AbstractData* create(void const* info) { return new BMPString(info); }

    unsigned getFirstChar() const { return record()->firstChar; }
    unsigned getLastChar() const { return record()->lastChar; }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;
    // firstChar <= c <= lastChar, compared as signed 32-bit numbers.
    bool legalCharacter(wchar_t c) const;
    // Index of the first character that is not legal; the length when all are.
    size_type first_illegal_at() const;
    unsigned getNumBits(bool aligned) const {
        return aligned ? record()->numBitsAligned : record()->numBitsUnaligned;
    }

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    BMPStringInfo const* record() const { return static_cast<BMPStringInfo const*>(info()); }
};

}  // namespace ASN1
