#pragma once
// SEQUENCE OF / SET OF: an owning list of element values whose type is known
// through the record's element record. SEQUENCE_OF<T> is the typed view the
// message modules use; its record is a constant that makes SEQUENCE_OF<T>
// objects and names T's record as the element type.

#include <vector>

#include <boost/iterator/iterator_adaptor.hpp>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class SEQUENCE_OF_Base : public ConstrainedObject, public detail::Allocator<SEQUENCE_OF_Base> {
public:
    using Container = std::vector<AbstractData*>;
    using iterator = Container::iterator;
    using const_iterator = Container::const_iterator;

    explicit SEQUENCE_OF_Base(void const* info) : ConstrainedObject(info) {}
    SEQUENCE_OF_Base(SEQUENCE_OF_Base const& other);
    SEQUENCE_OF_Base& operator=(SEQUENCE_OF_Base const& other);
    ~SEQUENCE_OF_Base() override { clear(); }
    static AbstractData* create(void const* info) { return new SEQUENCE_OF_Base(info); }

    unsigned size() const { return unsigned(elements_.size()); }
    bool empty() const { return elements_.empty(); }
    void reserve(unsigned n) { elements_.reserve(n); }
    iterator begin() { return elements_.begin(); }
    iterator end() { return elements_.end(); }
    const_iterator begin() const { return elements_.begin(); }
    const_iterator end() const { return elements_.end(); }
    AbstractData* at(unsigned i) { return elements_[i]; }
    AbstractData const* at(unsigned i) const { return elements_[i]; }

    void push_back(AbstractData* element) { elements_.push_back(element); }
    void insert(iterator position, unsigned n, AbstractData const& value);
    void insert(iterator position, const_iterator first, const_iterator last);
    iterator erase(iterator first, iterator last);
    void clear();
    void resize(unsigned n);
    AbstractData* createElement() const;
    void const* elementInfo() const { return record()->elementInfo; }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    // The element makers of the copies and of the two insert forms: a clone
    // of the value held, at every call; a clone of the value given (a null
    // slot stays null).
    struct create_from0 {
        AbstractData const& value;
        AbstractData* operator()() const { return value.clone(); }
    };
    struct create_from_ptr {
        AbstractData* operator()(AbstractData const* value) const {
            return value ? value->clone() : nullptr;
        }
    };

    SequenceOfInfo const* record() const { return static_cast<SequenceOfInfo const*>(info()); }
    Container elements_;
};

// The size constraint of the message modules' lists: none.
struct EmptyConstraint {
    static constexpr ConstraintType type = Unconstrained;
    static constexpr int lower = 0;
    static constexpr unsigned upper = 0xFFFFFFFFu;
};

template <class T, class Constraint = EmptyConstraint, uint32_t Tag = 16>
class SEQUENCE_OF : public SEQUENCE_OF_Base {
public:
    static constexpr SequenceOfInfo theInfo = {&createAs<SEQUENCE_OF>, Tag,
                                               Constraint::type,       Constraint::lower,
                                               Constraint::upper,      &T::theInfo};

    template <class Value, class Base>
    class basic_iterator : public boost::iterator_adaptor<basic_iterator<Value, Base>, Base, Value,
                                                          boost::use_default, Value&> {
    public:
        basic_iterator() = default;
        explicit basic_iterator(Base base) : basic_iterator::iterator_adaptor_(base) {}

    private:
        friend class boost::iterator_core_access;
        Value& dereference() const { return static_cast<Value&>(**this->base()); }
    };
    using iterator = basic_iterator<T, SEQUENCE_OF_Base::iterator>;
    using const_iterator = basic_iterator<T const, SEQUENCE_OF_Base::const_iterator>;

    explicit SEQUENCE_OF(void const* info = &theInfo) : SEQUENCE_OF_Base(info) {}
    SEQUENCE_OF(SEQUENCE_OF const&) = default;
    SEQUENCE_OF& operator=(SEQUENCE_OF const&) = default;
    static AbstractData* create(void const* info) { return new SEQUENCE_OF(info); }

    iterator begin() { return iterator(SEQUENCE_OF_Base::begin()); }
    iterator end() { return iterator(SEQUENCE_OF_Base::end()); }
    const_iterator begin() const { return const_iterator(SEQUENCE_OF_Base::begin()); }
    const_iterator end() const { return const_iterator(SEQUENCE_OF_Base::end()); }
    T const& operator[](unsigned i) const { return static_cast<T const&>(*at(i)); }
    T& operator[](unsigned i) { return static_cast<T&>(*at(i)); }

    // Appends a deep copy of x.
    void push_back(T const& x) { SEQUENCE_OF_Base::push_back(x.clone()); }
    void clean(iterator it) {
        delete *it.base();
        *it.base() = nullptr;
    }
    iterator erase(iterator it) {
        return iterator(SEQUENCE_OF_Base::erase(it.base(), it.base() + 1));
    }
};

template <class T, class Constraint = EmptyConstraint>
using SET_OF = SEQUENCE_OF<T, Constraint, 17>;

}  // namespace ASN1
