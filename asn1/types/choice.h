#pragma once
// CHOICE: owns the value of the selected alternative and remembers which
// one it is; alternatives, names and the extension marker come from the
// record. Generated CHOICE classes are typed views over it.

#include "asn1/types/abstract_data.h"

namespace ASN1 {

class CHOICE : public AbstractData, public detail::Allocator<CHOICE> {
public:
    enum { NoSelection = -1, UnknownSelection = -2 };

    explicit CHOICE(void const* info, int selection = NoSelection, AbstractData* value = nullptr)
        : AbstractData(info), choice_(value), selection_(selection) {}
    CHOICE(CHOICE const& other);
    CHOICE& operator=(CHOICE const& other);
    ~CHOICE() override;
    static AbstractData* create(void const* info) { return new CHOICE(info); }

    // Takes ownership of `value` (the old one is deleted); no checks.
    AbstractData* setSelection(int index, AbstractData* value);
    // Makes a fresh value of the selected alternative; false (and selection
    // UnknownSelection, no value) when the index is not one of the type's.
    bool createSelection();
    // Keeps the value when `index` is already selected.
    bool select(int index) {
        if (selection_ == index && choice_) return true;
        return selectAfresh(index);
    }

    // Selects the alternative that carries the tag word
    // tagClass * 65536 + tagNumber (tagClass: the class bits 0x00, 0x40, 0x80
    // or 0xC0) and makes a fresh value of it, also when that alternative was
    // selected already, so that a decode does not depend on what the value
    // held before. With automatic tags the context tag [i]
    // selects alternative i. A tag that the record's tags do not hold may
    // belong to an untagged CHOICE that is the first alternative. False when
    // no alternative carries the tag; when the tag names one that this
    // version cannot make, the selection is then unknown.
    bool setID(unsigned tagNumber, unsigned tagClass);

    // Hands the value of the selected alternative to the caller, leaving
    // the selection without a value.
    AbstractData* takeSelection() {
        AbstractData* const value = choice_;
        choice_ = nullptr;
        return value;
    }
    // The record of alternative `index`; null when the type has none.
    void const* selectionInfo(int index) const {
        return index >= 0 && unsigned(index) < record()->totalChoices
                   ? record()->selectionInfos[index]
                   : nullptr;
    }

    AbstractData* getSelection() { return choice_; }
    AbstractData const* getSelection() const { return choice_; }
    int currentSelection() const { return selection_; }
    char const* getSelectionName() const;  // null unless the selection is valid
    unsigned getSelectionTag() const;
    bool isUnknownSelection() const { return selection_ == UnknownSelection; }
    unsigned getNumChoices() const { return record()->numChoices; }
    unsigned getTotalChoices() const { return record()->totalChoices; }
    bool extendable() const { return record()->extendable; }
    // Constraint checks of the type (coders/validity.cpp).
    bool isValid() const;
    bool isStrictlyValid() const;
    void swap(CHOICE& other);

protected:
    int do_compare(AbstractData const& other) const override;
    AbstractData* do_clone() const override { return cloneAs(*this); }
    bool do_accept(Visitor& v) override;
    bool do_accept(ConstVisitor& v) const override;

private:
    // Selects alternative `index` with a new value, dropping the old one.
    bool selectAfresh(int index) {
        selection_ = index;
        return createSelection();
    }
    ChoiceInfo const* record() const { return static_cast<ChoiceInfo const*>(info()); }
    AbstractData* choice_;
    int selection_;
};

}  // namespace ASN1
