#include "asn1/types/sequence_of.h"

#include <algorithm>
#include <iterator>

#include "asn1/coders/visitor.h"

namespace ASN1 {

SEQUENCE_OF_Base::SEQUENCE_OF_Base(SEQUENCE_OF_Base const& other) : ConstrainedObject(other) {
    elements_.reserve(other.elements_.size());
    std::transform(other.begin(), other.end(), std::back_inserter(elements_), create_from_ptr());
}

SEQUENCE_OF_Base& SEQUENCE_OF_Base::operator=(SEQUENCE_OF_Base const& other) {
    if (this == &other) return *this;
    Container copy;
    copy.reserve(other.elements_.size());
    std::transform(other.begin(), other.end(), std::back_inserter(copy), create_from_ptr());
    clear();
    elements_.swap(copy);
    return *this;
}

// The clones are made before the list grows: the range may be this list's
// own, and growing would leave its iterators dangling.
void SEQUENCE_OF_Base::insert(iterator position, unsigned n, AbstractData const& value) {
    std::size_t const at = std::size_t(position - elements_.begin());
    Container copies;
    copies.reserve(n);
    std::generate_n(std::back_inserter(copies), n, create_from0{value});
    elements_.insert(elements_.begin() + at, copies.begin(), copies.end());
}

void SEQUENCE_OF_Base::insert(iterator position, const_iterator first, const_iterator last) {
    std::size_t const at = std::size_t(position - elements_.begin());
    Container copies;
    copies.reserve(std::size_t(last - first));
    std::transform(first, last, std::back_inserter(copies), create_from_ptr());
    elements_.insert(elements_.begin() + at, copies.begin(), copies.end());
}

SEQUENCE_OF_Base::iterator SEQUENCE_OF_Base::erase(iterator first, iterator last) {
    for (iterator it = first; it != last; ++it) delete *it;
    return elements_.erase(first, last);
}

void SEQUENCE_OF_Base::clear() {
    for (AbstractData* e : elements_) delete e;
    elements_.clear();
}

void SEQUENCE_OF_Base::resize(unsigned n) {
    if (n < elements_.size()) {
        erase(elements_.begin() + n, elements_.end());
        return;
    }
    elements_.reserve(n);
    while (elements_.size() < n) elements_.push_back(createElement());
}

AbstractData* SEQUENCE_OF_Base::createElement() const {
    return AbstractData::create(record()->elementInfo);
}

int SEQUENCE_OF_Base::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<SEQUENCE_OF_Base const&>(other);
    std::size_t const n = std::min(elements_.size(), o.elements_.size());
    for (std::size_t i = 0; i < n; ++i) {
        AbstractData const* a = elements_[i];
        AbstractData const* b = o.elements_[i];
        int const r = a && b ? a->compare(*b) : int(a != nullptr) - int(b != nullptr);
        if (r != 0) return r;
    }
    return int(elements_.size()) - int(o.elements_.size());
}

bool SEQUENCE_OF_Base::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool SEQUENCE_OF_Base::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

}  // namespace ASN1
