#include "asn1/types/simple.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "asn1/coders/visitor.h"

namespace ASN1 {

BasicInfo const Null::theInfo = {&Null::create, 5};
BasicInfo const BOOLEAN::theInfo = {&BOOLEAN::create, 1};
ConstrainedInfo const INTEGER::theInfo = {&INTEGER::create, 2, Unconstrained, 0, 0xFFFFFFFFu};

bool Null::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool Null::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

int BOOLEAN::do_compare(AbstractData const& other) const {
    return int(value_) - int(static_cast<BOOLEAN const&>(other).value_);
}
bool BOOLEAN::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool BOOLEAN::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

int INTEGER::do_compare(AbstractData const& other) const {
    return int(unsigned(value_) - unsigned(static_cast<INTEGER const&>(other).value_));
}
bool INTEGER::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool INTEGER::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

bool IntegerWithNamedNumber::getName(std::string& out) const {
    NamedNumberInfo const* rec = record();
    NameEntry const* first = rec->entries;
    NameEntry const* last = first + rec->entryCount;
    int const value = getValue();
    NameEntry const* it =
        std::lower_bound(first, last, value, [](NameEntry const& e, int v) { return e.value < v; });
    if (it == last || it->value != value) return false;
    out = it->name;
    return true;
}

bool IntegerWithNamedNumber::setFromName(std::string const& name) {
    NamedNumberInfo const* rec = record();
    for (uint32_t i = 0; i < rec->entryCount; ++i) {
        if (name == rec->entries[i].name) {
            setValue(rec->entries[i].value);
            return true;
        }
    }
    return false;
}

bool IntegerWithNamedNumber::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool IntegerWithNamedNumber::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

namespace {

// Length of the name part of an entry ("ptR2S=123" -> 5) and its number.
struct EntryText {
    std::size_t nameLength;
    bool numbered;
    int number;
};

EntryText parseEntry(char const* entry) {
    char const* eq = std::strchr(entry, '=');
    if (!eq) return {std::strlen(entry), false, 0};
    return {std::size_t(eq - entry), true, int(std::strtol(eq + 1, nullptr, 10))};
}

}  // namespace

// Index of the names entry whose item number is `value`, or -1.
int ENUMERATED::findEntry(int value) const {
    EnumeratedInfo const* rec = record();
    int number = -1;
    for (uint32_t i = 0; i < rec->nameCount; ++i) {
        EntryText const t = parseEntry(rec->names[i]);
        number = t.numbered ? t.number : number + 1;
        if (number == value) return int(i);
    }
    return -1;
}

std::string_view ENUMERATED::nameOf(int value) const {
    int const i = findEntry(value);
    if (i < 0) return {};
    char const* entry = record()->names[i];
    return std::string_view(entry, parseEntry(entry).nameLength);
}

char const* ENUMERATED::getName() const {
    int const i = findEntry(value_);
    return i < 0 ? nullptr : record()->names[i];
}

bool ENUMERATED::setFromName(std::string const& name) {
    EnumeratedInfo const* rec = record();
    int number = -1;
    for (uint32_t i = 0; i < rec->nameCount; ++i) {
        EntryText const t = parseEntry(rec->names[i]);
        number = t.numbered ? t.number : number + 1;
        if (name == rec->names[i] ||
            std::string_view(name) == std::string_view(rec->names[i], t.nameLength)) {
            value_ = number;
            return true;
        }
    }
    value_ = rec->maximum + 1;
    return false;
}

int ENUMERATED::do_compare(AbstractData const& other) const {
    return int(unsigned(value_) - unsigned(static_cast<ENUMERATED const&>(other).value_));
}
bool ENUMERATED::do_accept(Visitor& v) {
    return v.visit(*this);
}
bool ENUMERATED::do_accept(ConstVisitor& v) const {
    return v.visit(*this);
}

}  // namespace ASN1
