#pragma once
// NULL, BOOLEAN, INTEGER, INTEGER with named numbers and ENUMERATED: one
// scalar each; bounds, names and extension marker come from the record.

#include <cstdint>
#include <string>
#include <string_view>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class Null : public AbstractData, public detail::Allocator<Null> {
public:
    static BasicInfo const theInfo;
    explicit Null(void const* info = &theInfo) : AbstractData(info) {}
    Null(Null const&) = default;
    Null& operator=(Null const&) = default;
    static AbstractData* create(void const* info) { return new Null(info); }

protected:
    int do_compare(AbstractData const&) const override { return 0; }
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;
};

class BOOLEAN : public AbstractData, public detail::Allocator<BOOLEAN> {
public:
    static BasicInfo const theInfo;
    explicit BOOLEAN(void const* info = &theInfo) : AbstractData(info) {}
    BOOLEAN(bool value, void const* info) : AbstractData(info), value_(value) {}
    BOOLEAN(BOOLEAN const&) = default;
    BOOLEAN& operator=(BOOLEAN const&) = default;
    BOOLEAN& operator=(bool value) {
        value_ = value;
        return *this;
    }
    operator bool() const { return value_; }
    static AbstractData* create(void const* info) { return new BOOLEAN(info); }

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    bool value_ = false;
};

class INTEGER : public ConstrainedObject, public detail::Allocator<INTEGER> {
public:
    static ConstrainedInfo const theInfo;
    explicit INTEGER(void const* info = &theInfo) : ConstrainedObject(info) {}
    INTEGER(int value, void const* info) : ConstrainedObject(info), value_(value) {}
    INTEGER(INTEGER const&) = default;
    INTEGER& operator=(INTEGER const&) = default;
    INTEGER& operator=(int value) {
        value_ = value;
        return *this;
    }
    void setValue(int value) { value_ = value; }
    int getValue() const { return value_; }
    // Compares the numbers only, not the records.
    bool operator==(INTEGER const& other) const { return value_ == other.value_; }
    bool operator!=(INTEGER const& other) const { return value_ != other.value_; }
    INTEGER* clone() const { return static_cast<INTEGER*>(do_clone()); }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictValid() const;
    static AbstractData* create(void const* info) { return new INTEGER(info); }

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    int value_ = 0;
};

class IntegerWithNamedNumber : public INTEGER {
public:
    using NameEntry = ASN1::NameEntry;
    explicit IntegerWithNamedNumber(void const* info) : INTEGER(info) {}
    IntegerWithNamedNumber(int value, void const* info) : INTEGER(value, info) {}
    IntegerWithNamedNumber& operator=(int value) {
        setValue(value);
        return *this;
    }
    static AbstractData* create(void const* info) { return new IntegerWithNamedNumber(info); }

    // Name of the value (binary search by value); false when it has none.
    bool getName(std::string& out) const;
    // Sets the value of the entry named exactly `name`; false when none is.
    bool setFromName(std::string const& name);

protected:
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    NamedNumberInfo const* record() const { return static_cast<NamedNumberInfo const*>(info()); }
};

class ENUMERATED : public AbstractData, public detail::Allocator<ENUMERATED> {
public:
    explicit ENUMERATED(void const* info) : AbstractData(info) {}
    ENUMERATED(ENUMERATED const&) = default;
    // Copies the value only; the record stays.
    ENUMERATED& operator=(ENUMERATED const&) = default;
    static AbstractData* create(void const* info) { return new ENUMERATED(info); }

    void setFromInt(int value) { value_ = value; }
    int asInt() const { return value_; }
    int getMaximum() const { return record()->maximum; }
    bool extendable() const { return record()->extendable; }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

    // Name of the item whose number is the value (without any "=number"
    // suffix); empty when no item has that number.
    std::string_view name() const { return nameOf(value_); }
    std::string_view nameOf(int value) const;
    // Full names-table entry of the value's item, or null when none has it.
    char const* getName() const;
    // Sets the value to the number of the item called `name` (written with
    // or without its "=number" suffix). Unknown: value maximum + 1, false.
    bool setFromName(std::string const& name);

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    EnumeratedInfo const* record() const { return static_cast<EnumeratedInfo const*>(info()); }
    int findEntry(int value) const;
    int value_ = 0;
};

// INTEGER with bounds fixed at compile time; its record makes objects of
// this class, so a field of this type may be used through it.
template <ConstraintType Type, int Lower, unsigned Upper>
class Constrained_INTEGER : public INTEGER {
public:
    static constexpr ConstrainedInfo theInfo = {&createAs<Constrained_INTEGER>, 2, Type, Lower,
                                                Upper};
    explicit Constrained_INTEGER(void const* info = &theInfo) : INTEGER(info) {}
    Constrained_INTEGER(Constrained_INTEGER const&) = default;
    Constrained_INTEGER& operator=(Constrained_INTEGER const&) = default;
    Constrained_INTEGER& operator=(unsigned value) {
        setValue(int(value));
        return *this;
    }
    unsigned getValue() const { return unsigned(INTEGER::getValue()); }
    static AbstractData* create(void const* info) { return new Constrained_INTEGER(info); }
};

inline unsigned operator+(unsigned n, Constrained_INTEGER<FixedConstraint, 0, 127u> const& v) {
    return n + v.getValue();
}

}  // namespace ASN1
