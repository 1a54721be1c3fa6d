#pragma once
// The base of every ASN.1 value. A value holds only its contents and a
// pointer to the static record of its type (type_info.h); coders and
// printers walk values through the visitors of coders/visitor.h.

#include <cstddef>
#include <ios>
#include <iosfwd>
#include <string>

#include "asn1/types/type_info.h"
#include "asn1/types/value_pool.h"

namespace ASN1 {

class Visitor;
class ConstVisitor;

class AbstractData {
public:
    virtual ~AbstractData() = default;

    // New default value of the type described by `info` (null for null).
    static AbstractData* create(void const* info) {
        return info ? static_cast<BasicInfo const*>(info)->create(info) : nullptr;
    }

    // Three-way comparison with a value of the same type; only the sign counts.
    int compare(AbstractData const& other) const { return do_compare(other); }
    bool operator==(AbstractData const& other) const { return compare(other) == 0; }
    bool operator!=(AbstractData const& other) const { return compare(other) != 0; }

    // Deep copy, owned by the caller, of the same class as this value.
    AbstractData* clone() const { return do_clone(); }

    bool accept(Visitor& v) { return do_accept(v); }
    bool accept(ConstVisitor& v) const { return do_accept(v); }

    unsigned getTag() const { return static_cast<BasicInfo const*>(info_)->tag; }
    void const* info() const { return info_; }

    // Value-notation text of the value (written whether or not it is complete).
    std::string asValueNotation() const;
    // Writes the value notation; returns the stream state to set (0 on success).
    std::ios_base::iostate print_on(std::ostream& os) const;
    // Reads value notation into this value (coders/avn_decoder.cpp); the
    // stream state to set, or whether the whole text read.
    std::ios_base::iostate get_from(std::istream& is);
    bool setFromValueNotation(std::string const& text);

    // Inside the root constraints of the type, or outside an extensible one
    // (isValid); strictly inside them (isStrictlyValid). coders/validity.cpp.
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    explicit AbstractData(void const* info) : info_(info) {}
    AbstractData(AbstractData const&) = default;
    // Assignment copies contents only; a value never changes its record.
    AbstractData& operator=(AbstractData const&) { return *this; }

    virtual int do_compare(AbstractData const& other) const = 0;
    virtual AbstractData* do_clone() const = 0;
    virtual bool do_accept(Visitor& v) = 0;
    virtual bool do_accept(ConstVisitor& v) const = 0;

private:
    void const* info_;
};

// Values whose record starts with a ConstrainedInfo head (INTEGER, strings,
// lists): the bounds are of the value or of the size.
class ConstrainedObject : public AbstractData {
public:
    ConstraintType getConstraintType() const { return ConstraintType(head()->type); }
    int getLowerLimit() const { return head()->lowerLimit; }
    unsigned getUpperLimit() const { return head()->upperLimit; }
    bool constrained() const { return head()->type != Unconstrained; }
    bool extendable() const { return head()->type == ExtendableConstraint; }

protected:
    explicit ConstrainedObject(void const* info) : AbstractData(info) {}
    ConstrainedObject(ConstrainedObject const&) = default;
    ConstrainedObject& operator=(ConstrainedObject const&) = default;

private:
    ConstrainedInfo const* head() const { return static_cast<ConstrainedInfo const*>(info()); }
};

// Create function for a record whose values are objects of class T (a runtime
// class or a generated typed view, which must be constructible from the
// record). Tables of generated types point at createAs<TheirClass>, so every
// value the runtime makes for them really is of that class.
template <class T>
AbstractData* createAs(void const* info) {
    return new T(info);
}

// Deep copy of `v` made through its record's create function, so the copy is
// of the class the record makes (a generated view stays that view).
template <class T>
T* cloneAs(T const& v) {
    AbstractData* made = AbstractData::create(v.info());
    T* copy = made ? static_cast<T*>(made) : new T(v.info());
    *copy = v;
    return copy;
}

// 32 for 0, else the smallest n with 2^n >= v (1 -> 0, 2 -> 1, 5 -> 3).
inline unsigned CountBits(unsigned v) {
    if (v == 0 || v > 0x80000000u) return 32;
    if (v == 1) return 0;
    return 32 - unsigned(__builtin_clz(v - 1));
}

// Byte-wise comparison of two ranges, bytes unsigned; at a prefix -1/0/1.
int lexicographic_compare_bytes(char const* first1, char const* last1, char const* first2,
                                char const* last2);

}  // namespace ASN1
