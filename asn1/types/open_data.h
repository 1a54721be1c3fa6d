#pragma once
// Open types: a field whose contents are another, separately encoded value,
// held as a decoded value, as the raw octets received, or both.
// TypeConstrainedOpenData fixes the inner type through its record, so its
// value is decoded directly.

#include <memory>
#include <vector>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class OpenData : public AbstractData, public detail::Allocator<OpenData> {
public:
    static BasicInfo const theInfo;
    explicit OpenData(void const* info = &theInfo) : AbstractData(info) {}
    // Takes ownership of data.
    OpenData(AbstractData* data, void const* info) : AbstractData(info), data_(data) {}
    OpenData(OpenData const& other);
    OpenData& operator=(OpenData const& other);
    ~OpenData() override = default;
    static AbstractData* create(void const* info) { return new OpenData(info); }

    void swap(OpenData& other) {
        data_.swap(other.data_);
        buf_.swap(other.buf_);
    }
    bool has_data() const { return data_ != nullptr; }
    bool has_buf() const { return buf_ != nullptr; }
    bool isEmpty() const { return !data_ && !buf_; }
    AbstractData& get_data() { return *data_; }
    AbstractData const& get_data() const { return *data_; }
    std::vector<char>& get_buf() { return *buf_; }
    std::vector<char> const& get_buf() const { return *buf_; }
    void set_data(AbstractData* data) { data_.reset(data); }
    void grab(std::vector<char>* buffer) { buf_.reset(buffer); }
    // The decoders' store: the octets read become the whole value, in place
    // of any decoded value and octets held before. Takes ownership.
    void receive(std::vector<char>* octets) {
        data_.reset();
        buf_.reset(octets);
    }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return new OpenData(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    std::unique_ptr<AbstractData> data_;
    std::unique_ptr<std::vector<char>> buf_;
};

class TypeConstrainedOpenData : public OpenData {
public:
    TypeConstrainedOpenData(AbstractData* data, void const* info) : OpenData(data, info) {}
    explicit TypeConstrainedOpenData(void const* info)
        : OpenData(
              AbstractData::create(static_cast<TypeConstrainedOpenInfo const*>(info)->innerInfo),
              info) {}
    static AbstractData* create(void const* info) { return new TypeConstrainedOpenData(info); }

protected:
    bool do_accept(Visitor& v) override;
};

}  // namespace ASN1
