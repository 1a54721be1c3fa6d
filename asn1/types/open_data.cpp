#include "asn1/types/open_data.h"

#include "asn1/coders/visitor.h"

namespace ASN1 {

BasicInfo const OpenData::theInfo = {&OpenData::create, 0};

OpenData::OpenData(OpenData const& other)
    : AbstractData(other),
      data_(other.data_ ? other.data_->clone() : nullptr),
      buf_(other.buf_ ? new std::vector<char>(*other.buf_) : nullptr) {}

OpenData& OpenData::operator=(OpenData const& other) {
    if (this == &other) return *this;
    OpenData copy(other);
    swap(copy);
    return *this;
}

int OpenData::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<OpenData const&>(other);
    if (data_ && o.data_) return data_->compare(*o.data_);
    if (buf_ && o.buf_) {
        return lexicographic_compare_bytes(buf_->data(), buf_->data() + buf_->size(),
                                           o.buf_->data(), o.buf_->data() + o.buf_->size());
    }
    if (isEmpty() && o.isEmpty()) return 0;
    return data_ ? 1 : -1;
}

bool OpenData::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool OpenData::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}
bool TypeConstrainedOpenData::do_accept(Visitor& v) {
    return v.visit(*this);
}

}  // namespace ASN1
