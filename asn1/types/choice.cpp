#include "asn1/types/choice.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "asn1/coders/visitor.h"

namespace ASN1 {

CHOICE::CHOICE(CHOICE const& other)
    : AbstractData(other),
      choice_(other.choice_ ? other.choice_->clone() : nullptr),
      selection_(other.selection_) {}

CHOICE& CHOICE::operator=(CHOICE const& other) {
    if (this == &other) return *this;
    AbstractData* copy = other.choice_ ? other.choice_->clone() : nullptr;
    delete choice_;
    choice_ = copy;
    selection_ = other.selection_;
    return *this;
}

CHOICE::~CHOICE() {
    delete choice_;
}

AbstractData* CHOICE::setSelection(int index, AbstractData* value) {
    if (value != choice_) delete choice_;
    choice_ = value;
    selection_ = index;
    return value;
}

bool CHOICE::createSelection() {
    if (void const* info = selectionInfo(selection_)) {
        setSelection(selection_, AbstractData::create(info));
        return true;
    }
    setSelection(UnknownSelection, nullptr);
    return false;
}

bool CHOICE::setID(unsigned tagNumber, unsigned tagClass) {
    ChoiceInfo const* rec = record();
    if (!rec->tags) {
        // Automatic tags carry the context class; another class names no
        // alternative.
        if (tagClass != (ContextTag >> 16)) return false;
        return selectAfresh(int(tagNumber));
    }
    uint32_t const key = (tagClass << 16) | tagNumber;
    uint32_t const* first = rec->tags;
    uint32_t const* last = first + rec->numChoices;
    uint32_t const* it = std::lower_bound(first, last, key);
    if (it != last && *it == key) return selectAfresh(int(it - first));
    if (rec->numChoices == 0 || rec->tags[0] != 0) return false;
    // The first alternative is untagged: the tag may be one of its own
    // alternatives' when it is a CHOICE.
    if (selectAfresh(0)) {
        auto* inner = dynamic_cast<CHOICE*>(choice_);
        if (inner && inner->setID(tagNumber, tagClass)) return true;
    }
    setSelection(UnknownSelection, nullptr);
    return false;
}

char const* CHOICE::getSelectionName() const {
    if (selection_ < 0 || unsigned(selection_) >= record()->totalChoices) return nullptr;
    return record()->selectionNames[selection_];
}

unsigned CHOICE::getSelectionTag() const {
    ChoiceInfo const* rec = record();
    if (!rec->tags) return ContextTag | unsigned(selection_);
    return rec->tags[selection_];
}

void CHOICE::swap(CHOICE& other) {
    std::swap(choice_, other.choice_);
    std::swap(selection_, other.selection_);
}

int CHOICE::do_compare(AbstractData const& other) const {
    auto const& o = static_cast<CHOICE const&>(other);
    if (selection_ < 0 || selection_ != o.selection_) return selection_ - o.selection_;
    if (!choice_ || !o.choice_) return int(choice_ != nullptr) - int(o.choice_ != nullptr);
    return choice_->compare(*o.choice_);
}

bool CHOICE::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool CHOICE::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

}  // namespace ASN1
