#include "asn1/types/sequence.h"

#include <cstring>
#include <utility>

#include "asn1/coders/visitor.h"

namespace ASN1 {

uint32_t const SEQUENCE::defaultTag = 0;

SEQUENCE::BitMap::BitMap(BitMap const& other) {
    *this = other;
}

SEQUENCE::BitMap& SEQUENCE::BitMap::operator=(BitMap const& other) {
    if (this == &other) return *this;
    count_ = 0;
    resize(other.count_);
    std::memcpy(data_, other.data_, (other.count_ + 7) / 8);
    return *this;
}

void SEQUENCE::BitMap::resize(unsigned n) {
    unsigned const have = (count_ + 7) / 8;
    unsigned const need = (n + 7) / 8;
    if (need > capacity_) {
        char* bigger = new char[need];
        std::memcpy(bigger, data_, have);
        if (data_ != inPlace_) delete[] data_;
        data_ = bigger;
        capacity_ = need;
    }
    if (need == have + 1) {
        data_[have] = 0;  // the usual case: a bitmap of up to eight bits
    } else if (need > have) {
        std::memset(data_ + have, 0, need - have);
    }
    count_ = n;
}

void SEQUENCE::BitMap::swap(BitMap& other) {
    if (data_ != inPlace_ && other.data_ != other.inPlace_) {
        std::swap(data_, other.data_);
    } else {
        BitMap copy(*this);
        *this = other;
        other = copy;
        return;
    }
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
}

SEQUENCE::FieldVector::FieldVector(FieldVector const& other) {
    assign(other.size_, nullptr);
    for (unsigned i = 0; i < size_; ++i)
        data_[i] = other.data_[i] ? other.data_[i]->clone() : nullptr;
}

SEQUENCE::FieldVector::~FieldVector() {
    release();
}

namespace {

// Arrays of 9 to 32 component pointers (SEQUENCEs with many components, such
// as resource reports) come from the value pool, not from the heap.
using PointerBlocks = detail::BlockPool<32 * sizeof(AbstractData*)>;

}  // namespace

void SEQUENCE::FieldVector::release() {
    for (unsigned i = 0; i < size_; ++i) delete data_[i];
    if (data_ != inPlace_) {
#if MOBREL_ASN1_VALUE_POOL
        if (size_ <= Pooled) {
            PointerBlocks::give(data_);
        } else {
            delete[] data_;
        }
#else
        delete[] data_;
#endif
    }
    data_ = inPlace_;
    size_ = 0;
}

void SEQUENCE::FieldVector::assign(unsigned n, AbstractData* value) {
    release();
#if MOBREL_ASN1_VALUE_POOL
    if (n > InPlace)
        data_ =
            n <= Pooled ? static_cast<AbstractData**>(PointerBlocks::take()) : new AbstractData*[n];
#else
    if (n > InPlace) data_ = new AbstractData*[n];
#endif
    size_ = n;
    for (unsigned i = 0; i < n; ++i) data_[i] = value;
}

void SEQUENCE::FieldVector::swap(FieldVector& other) {
    if (data_ != inPlace_ && other.data_ != other.inPlace_) {
        std::swap(data_, other.data_);
    } else {
        // At least one side holds its values in place: exchange through a copy.
        AbstractData* mine[InPlace];
        AbstractData** const myHeap = data_ != inPlace_ ? data_ : nullptr;
        AbstractData** const otherHeap = other.data_ != other.inPlace_ ? other.data_ : nullptr;
        if (!myHeap) std::copy(inPlace_, inPlace_ + size_, mine);
        if (otherHeap) {
            data_ = otherHeap;
        } else {
            std::copy(other.inPlace_, other.inPlace_ + other.size_, inPlace_);
            data_ = inPlace_;
        }
        if (myHeap) {
            other.data_ = myHeap;
        } else {
            std::copy(mine, mine + size_, other.inPlace_);
            other.data_ = other.inPlace_;
        }
    }
    std::swap(size_, other.size_);
}

SEQUENCE::SEQUENCE(void const* info) : AbstractData(info) {
    SequenceInfo const* rec = record();
    fields_.assign(rec->numRootFields + rec->numKnownExtensions, nullptr);
    optionalMap_.resize(rec->numOptionals);
    for (uint32_t i = 0; i < rec->numRootFields; ++i) {
        if (rec->fieldIds[i] == -1) fields_[i] = AbstractData::create(rec->fieldInfos[i]);
    }
    if (rec->nonOptionalExtensions) {
        extensionMap_.resize(rec->numKnownExtensions);
        for (uint32_t k = 0; k < rec->numKnownExtensions; ++k) {
            if (rec->nonOptionalExtensions[k / 8] & (0x80 >> (k % 8))) {
                extensionMap_.set(k);
                fields_[rec->numRootFields + k] =
                    AbstractData::create(rec->fieldInfos[rec->numRootFields + k]);
            }
        }
    }
}

SEQUENCE::SEQUENCE(SEQUENCE const& other)
    : AbstractData(other),
      fields_(other.fields_),
      optionalMap_(other.optionalMap_),
      extensionMap_(other.extensionMap_) {}

SEQUENCE& SEQUENCE::operator=(SEQUENCE const& other) {
    if (this == &other) return *this;
    FieldVector fields(other.fields_);
    BitMap optionalMap(other.optionalMap_);
    BitMap extensionMap(other.extensionMap_);
    fields_.swap(fields);
    optionalMap_.swap(optionalMap);
    extensionMap_.swap(extensionMap);
    return *this;
}

void SEQUENCE::includeOptionalField(unsigned opt, unsigned i) {
    unsigned const n = optionalMap_.size();
    if (opt < n) {
        optionalMap_.set(opt);
    } else {
        if (opt - n >= extensionMap_.size()) extensionMap_.resize(opt - n + 1);
        extensionMap_.set(opt - n);
    }
    if (i < fields_.size() && !fields_[i])
        fields_[i] = AbstractData::create(record()->fieldInfos[i]);
}

void SEQUENCE::removeOptionalField(unsigned opt) {
    unsigned const n = optionalMap_.size();
    if (opt < n) {
        optionalMap_.clear(opt);
    } else {
        extensionMap_.clear(opt - n);
    }
}

int SEQUENCE::tagMode() const {
    uint32_t const* tags = record()->tags;
    if (!tags) return 0;
    return tags == &defaultTag ? 2 : 1;
}

unsigned SEQUENCE::getFieldTag(int i) const {
    switch (tagMode()) {
        case 0:
            return ContextTag | unsigned(i);
        case 2:
            return static_cast<BasicInfo const*>(record()->fieldInfos[i])->tag;
        default:
            return record()->tags[i];
    }
}

void SEQUENCE::swap(SEQUENCE& other) {
    fields_.swap(other.fields_);
    optionalMap_.swap(other.optionalMap_);
    extensionMap_.swap(other.extensionMap_);
}

bool SEQUENCE::hasKnownExtension() const {
    unsigned const known = record()->numKnownExtensions;
    for (unsigned k = 0; k < known && k < extensionMap_.size(); ++k) {
        if (extensionMap_[k]) return true;
    }
    return false;
}

// Compares present components in order; presence differences count as
// 1 / -1; values of absent components are never looked at.
int SEQUENCE::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<SEQUENCE const&>(other);
    SequenceInfo const* rec = record();
    auto compareField = [&](unsigned i, bool here, bool there) {
        if (here && there) {
            if (!fields_[i] || !o.fields_[i])
                return int(fields_[i] != nullptr) - int(o.fields_[i] != nullptr);
            return fields_[i]->compare(*o.fields_[i]);
        }
        return int(here) - int(there);
    };
    for (unsigned i = 0; i < rec->numRootFields; ++i) {
        int const id = rec->fieldIds[i];
        bool const here = id == -1 || hasOptionalField(unsigned(id));
        bool const there = id == -1 || o.hasOptionalField(unsigned(id));
        int const r = compareField(i, here, there);
        if (r != 0) return r;
    }
    for (unsigned k = 0; k < rec->numKnownExtensions; ++k) {
        unsigned const opt = rec->numOptionals + k;
        int const r =
            compareField(rec->numRootFields + k, hasOptionalField(opt), o.hasOptionalField(opt));
        if (r != 0) return r;
    }
    return 0;
}

bool SEQUENCE::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool SEQUENCE::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

}  // namespace ASN1
