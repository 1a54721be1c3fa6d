#pragma once
// SEQUENCE: one owned value per component (root components, then the known
// extension additions), presence bits of the OPTIONAL root components and of
// the extension additions. Generated SEQUENCE classes are typed views over it.

#include <utility>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class SEQUENCE : public AbstractData, public detail::Allocator<SEQUENCE> {
public:
    // Bit i is bit 7 - i % 8 of byte i / 8. Up to 64 bits are held in
    // place; larger bitmaps (extension bitmaps of up to 128 bits) use the heap.
    class BitMap {
    public:
        BitMap() = default;
        BitMap(BitMap const& other);
        BitMap& operator=(BitMap const& other);
        ~BitMap() {
            if (data_ != inPlace_) delete[] data_;
        }
        // Bytes that come into use are zero.
        void resize(unsigned n);
        unsigned size() const { return count_; }
        bool operator[](unsigned i) const {
            return i < count_ && (data_[i / 8] >> (7 - i % 8) & 1);
        }
        void set(unsigned i) {
            if (i < count_) data_[i / 8] = char(data_[i / 8] | (0x80 >> (i % 8)));
        }
        void clear(unsigned i) {
            if (i < count_) data_[i / 8] = char(data_[i / 8] & ~(0x80 >> (i % 8)));
        }
        char* bytes() { return data_; }
        char const* bytes() const { return data_; }
        void swap(BitMap& other);

    private:
        static constexpr unsigned InPlace = 8;
        unsigned count_ = 0;
        unsigned capacity_ = InPlace;
        char* data_ = inPlace_;
        char inPlace_[InPlace] = {};
    };

    // Owning array of component values (up to eight held in place, up to 32
    // in a pooled block, more on the heap); copies clone, null stays null.
    class FieldVector {
    public:
        FieldVector() = default;
        FieldVector(FieldVector const& other);
        FieldVector& operator=(FieldVector const&) = delete;
        ~FieldVector();
        void assign(unsigned n, AbstractData* value);
        unsigned size() const { return size_; }
        AbstractData*& operator[](unsigned i) { return data_[i]; }
        AbstractData* operator[](unsigned i) const { return data_[i]; }
        AbstractData** begin() { return data_; }
        AbstractData** end() { return data_ + size_; }
        AbstractData* const* begin() const { return data_; }
        AbstractData* const* end() const { return data_ + size_; }
        void swap(FieldVector& other);

    private:
        static constexpr unsigned InPlace = 8;
        static constexpr unsigned Pooled = 32;
        void release();
        AbstractData* inPlace_[InPlace];
        AbstractData** data_ = inPlace_;
        unsigned size_ = 0;
    };

    // The address of this word in a record's `tags` means: each component
    // keeps the tag of its own type.
    static uint32_t const defaultTag;

    explicit SEQUENCE(void const* info);
    SEQUENCE(SEQUENCE const& other);
    SEQUENCE& operator=(SEQUENCE const& other);
    ~SEQUENCE() override = default;
    static AbstractData* create(void const* info) { return new SEQUENCE(info); }
    SEQUENCE* clone() const { return static_cast<SEQUENCE*>(do_clone()); }

    AbstractData* getField(unsigned i) { return fields_[i]; }
    AbstractData const* getField(unsigned i) const { return fields_[i]; }
    unsigned fieldCount() const { return unsigned(fields_.size()); }
    char const* getFieldName(int i) const { return record()->fieldNames[i]; }

    // Presence numbers: below numOptionals address the root bitmap, above it
    // extension addition (opt - numOptionals).
    bool hasOptionalField(unsigned opt) const {
        unsigned const n = optionalMap_.size();
        return opt < n ? optionalMap_[opt] : extensionMap_[opt - n];
    }
    // Sets presence bit `opt` (growing the extension bitmap as needed) and
    // makes component i when it has no value yet.
    void includeOptionalField(unsigned opt, unsigned i);
    // Clears the bit only; the component value stays.
    void removeOptionalField(unsigned opt);

    int tagMode() const;
    unsigned getFieldTag(int i) const;
    bool extendable() const { return record()->extendable; }
    void swap(SEQUENCE& other);

    SequenceInfo const* record() const { return static_cast<SequenceInfo const*>(info()); }
    BitMap const& optionalMap() const { return optionalMap_; }
    BitMap& optionalMap() { return optionalMap_; }
    // Replaces component i's value (the old one is deleted); takes ownership.
    void setField(unsigned i, AbstractData* value) {
        if (fields_[i] != value) delete fields_[i];
        fields_[i] = value;
    }
    BitMap const& extensionMap() const { return extensionMap_; }
    BitMap& extensionMap() { return extensionMap_; }
    // True when a known extension addition is present.
    bool hasKnownExtension() const;

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    FieldVector fields_;
    BitMap optionalMap_;
    BitMap extensionMap_;
};

}  // namespace ASN1
