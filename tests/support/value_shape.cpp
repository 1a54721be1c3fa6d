#include "tests/support/value_shape.h"

#include <typeinfo>

namespace support {

namespace {

using namespace ASN1;

std::string bits(SEQUENCE::BitMap const& map) {
    std::string text;
    for (unsigned i = 0; i < map.size(); ++i) text += map[i] ? '1' : '0';
    return text;
}

std::string differ(std::string const& path, std::string const& what) {
    return (path.empty() ? "the value" : path) + ": " + what;
}

std::string compare(AbstractData const* a, AbstractData const* b, std::string const& path);

std::string compareSequence(SEQUENCE const& a, SEQUENCE const& b, std::string const& path) {
    if (bits(a.optionalMap()) != bits(b.optionalMap()))
        return differ(path, "presence bits " + bits(a.optionalMap()) + " and " +
                                bits(b.optionalMap()));
    if (bits(a.extensionMap()) != bits(b.extensionMap()))
        return differ(path, "extension bits '" + bits(a.extensionMap()) + "' and '" +
                                bits(b.extensionMap()) + "'");
    if (a.fieldCount() != b.fieldCount()) return differ(path, "component counts");
    for (unsigned i = 0; i < a.fieldCount(); ++i) {
        std::string const d = compare(a.getField(i), b.getField(i), path + "." + a.getFieldName(int(i)));
        if (!d.empty()) return d;
    }
    return {};
}

std::string compare(AbstractData const* a, AbstractData const* b, std::string const& path) {
    if (!a || !b) return !a && !b ? std::string() : differ(path, a ? "only the first has a value" : "only the second has a value");
    if (typeid(*a) != typeid(*b)) return differ(path, "classes");
    if (a->info() != b->info()) return differ(path, "records");
    if (auto const* s = dynamic_cast<SEQUENCE const*>(a))
        return compareSequence(*s, static_cast<SEQUENCE const&>(*b), path);
    if (auto const* c = dynamic_cast<CHOICE const*>(a)) {
        auto const& d = static_cast<CHOICE const&>(*b);
        if (c->currentSelection() != d.currentSelection())
            return differ(path, "selections " + std::to_string(c->currentSelection()) + " and " +
                                    std::to_string(d.currentSelection()));
        char const* name = c->getSelectionName();
        return compare(c->getSelection(), d.getSelection(), path + ":" + (name ? name : "?"));
    }
    if (auto const* l = dynamic_cast<SEQUENCE_OF_Base const*>(a)) {
        auto const& m = static_cast<SEQUENCE_OF_Base const&>(*b);
        if (l->size() != m.size())
            return differ(path, std::to_string(l->size()) + " and " + std::to_string(m.size()) +
                                    " elements");
        for (unsigned i = 0; i < l->size(); ++i) {
            std::string const d = compare(l->at(i), m.at(i), path + "[" + std::to_string(i) + "]");
            if (!d.empty()) return d;
        }
        return {};
    }
    if (auto const* o = dynamic_cast<OpenData const*>(a)) {
        auto const& p = static_cast<OpenData const&>(*b);
        if (o->has_buf() != p.has_buf() || (o->has_buf() && o->get_buf() != p.get_buf()))
            return differ(path, "raw octets");
        return compare(o->has_data() ? &o->get_data() : nullptr,
                       p.has_data() ? &p.get_data() : nullptr, path + "(data)");
    }
    if (auto const* t = dynamic_cast<GeneralizedTime const*>(a)) {
        bool const same = t->get() == static_cast<GeneralizedTime const&>(*b).get() &&
                          a->compare(*b) == 0;
        return same ? std::string() : differ(path, "times");
    }
    return a->compare(*b) == 0 ? std::string() : differ(path, "contents");
}

}  // namespace

std::string shapeDifference(AbstractData const& a, AbstractData const& b) {
    return compare(&a, &b, "");
}

}  // namespace support
