#pragma once
// OBJECT IDENTIFIER (arcs, and the contents octets shared by BER and PER)
// and GeneralizedTime (broken-down time and its text form).

#include <string>
#include <vector>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class OBJECT_IDENTIFIER : public AbstractData, public detail::Allocator<OBJECT_IDENTIFIER> {
public:
    static BasicInfo const theInfo;
    explicit OBJECT_IDENTIFIER(void const* info = &theInfo) : AbstractData(info) {}
    OBJECT_IDENTIFIER(OBJECT_IDENTIFIER const&) = default;
    OBJECT_IDENTIFIER& operator=(OBJECT_IDENTIFIER const&) = default;
    static AbstractData* create(void const* info) { return new OBJECT_IDENTIFIER(info); }

    unsigned levels() const { return unsigned(arcs_.size()); }
    unsigned operator[](unsigned i) const { return arcs_[i]; }
    void append(unsigned arc) { arcs_.push_back(arc); }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

    // Inserts the contents octets at the front of `out`.
    void encodeCommon(std::vector<char>& out) const;
    // Replaces the arcs by those coded in `length` octets; false when the
    // octets end inside a subidentifier.
    bool decodeCommon(char const* data, unsigned length);

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    std::vector<unsigned> arcs_;
};

class GeneralizedTime : public AbstractData, public detail::Allocator<GeneralizedTime> {
public:
    static BasicInfo const theInfo;
    explicit GeneralizedTime(void const* info = &theInfo) : AbstractData(info) {}
    explicit GeneralizedTime(char const* text) : AbstractData(&theInfo) { set(text); }
    GeneralizedTime(int year, int month, int day, int hour, int minute, int second, int millisec,
                    int mindiff, bool utc);
    GeneralizedTime(GeneralizedTime const&) = default;
    GeneralizedTime& operator=(GeneralizedTime const&) = default;
    static AbstractData* create(void const* info) { return new GeneralizedTime(info); }
    void swap(GeneralizedTime& other);

    // "YYYYMMDDhhmmss[.fff][Z|+hhmm]" to fields and back; set replaces every
    // field, giving those the text leaves out a fresh time's values.
    void set(char const* text);
    std::string get() const;
    long get_time_t() const;
    void set_time_t(long t);
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int millisec = 0;
    int mindiff = 0;  // minutes east of UTC
    bool utc = false;

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;
};

}  // namespace ASN1
