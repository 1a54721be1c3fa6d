#include "tests/support/oracle/random_value.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ASN1Oracle {

using namespace ASN1;

namespace {

// Item numbers of an enumeration, as the names table gives them.
std::vector<int> enumNumbers(ENUMERATED const& v) {
    auto const* rec = static_cast<EnumeratedInfo const*>(v.info());
    std::vector<int> numbers;
    int number = -1;
    for (uint32_t i = 0; i < rec->nameCount; ++i) {
        char const* eq = std::strchr(rec->names[i], '=');
        number = eq ? int(std::strtol(eq + 1, nullptr, 10)) : number + 1;
        numbers.push_back(number);
    }
    return numbers;
}

class Filler : public Visitor {
public:
    Filler(RandomValue& r, int depth, void const* openInfo)
        : r_(r), depth_(depth), openInfo_(openInfo) {}

protected:
    bool do_visit(Null&) override { return true; }
    bool do_visit(BOOLEAN& v) override {
        v = r_.chance(50);
        return true;
    }
    bool do_visit(INTEGER& v) override {
        v.setValue(r_.integer(v));
        return true;
    }
    bool do_visit(ENUMERATED& v) override {
        std::vector<int> numbers = enumNumbers(v);
        // Only numbers the coder can carry: 0 to the maximum.
        std::vector<int> usable;
        for (int n : numbers)
            if (n >= 0 && n <= v.getMaximum()) usable.push_back(n);
        v.setFromInt(usable.empty() ? 0 : usable[r_.item(v.info(), unsigned(usable.size()))]);
        return true;
    }
    bool do_visit(OBJECT_IDENTIFIER& v) override {
        v = OBJECT_IDENTIFIER(v.info());
        v.append(r_.below(3));
        v.append(r_.below(40));
        for (unsigned i = r_.below(4); i > 0; --i) v.append(r_.next() >> r_.below(32));
        return true;
    }
    bool do_visit(OCTET_STRING& v) override {
        unsigned const n = sizeFor(v, 40);
        v.resize(n);
        for (char& c : v) c = char(r_.next());
        return true;
    }
    bool do_visit(BIT_STRING& v) override {
        unsigned const n = sizeFor(v, 40);
        v.resize(n);
        for (unsigned i = 0; i < n; ++i) v.set(i, r_.chance(50));
        return true;
    }
    bool do_visit(AbstractString& v) override {
        unsigned const n = sizeFor(v, 40);
        char const* set = v.getCharacterSet();
        unsigned const setSize = v.getCharacterSetSize();
        v.std::string::assign(n, ' ');
        for (char& c : v) c = set && setSize ? set[r_.below(setSize)] : char(r_.next());
        return true;
    }
    bool do_visit(BMPString& v) override {
        unsigned const n = sizeFor(v, 20);
        v.std::wstring::assign(n, L' ');
        for (wchar_t& c : v)
            c = wchar_t(v.getFirstChar() + r_.below(v.getLastChar() - v.getFirstChar() + 1));
        return true;
    }
    bool do_visit(CHOICE& v) override {
        v.select(int(r_.alternative(v.info(), unsigned(v.getTotalChoices()))));
        if (v.getSelection()) r_.fill(*v.getSelection(), depth_ + 1);
        return true;
    }
    bool do_visit(SEQUENCE_OF_Base& v) override {
        unsigned const cap = depth_ > 3 ? 1 : 4;
        v.clear();
        unsigned const n = sizeFor(v, cap);
        for (unsigned i = 0; i < n; ++i) v.push_back(r_.make(v.elementInfo()));
        return true;
    }
    bool do_visit(OpenData& v) override {
        v.grab(nullptr);
        v.set_data(r_.make(openInfo_));
        return true;
    }
    bool do_revisit(OpenData&) override { return true; }
    bool do_visit(TypeConstrainedOpenData& v) override {
        if (v.has_data()) r_.fill(v.get_data(), depth_ + 1);
        return true;
    }
    bool do_visit(GeneralizedTime& v) override {
        v = GeneralizedTime(int(1970 + r_.below(100)), int(1 + r_.below(12)), int(1 + r_.below(28)),
                            int(r_.below(24)), int(r_.below(60)), int(r_.below(60)),
                            int(r_.below(1000)), 0, true);
        return true;
    }

    // The whole SEQUENCE is filled here: presence first, then each present
    // component; the walk then stops (success).
    int preVisitExtensionRoots(SEQUENCE& v) override {
        SequenceInfo const* rec = v.record();
        unsigned const total = rec->numOptionals + rec->numKnownExtensions;
        for (unsigned i = 0; i < rec->numRootFields; ++i) {
            int const id = rec->fieldIds[i];
            if (id == -1) {
                fillField(v, i);
            } else if (r_.presence(rec, unsigned(id), total, 60)) {
                v.includeOptionalField(unsigned(id), i);
                fillField(v, i);
            } else {
                v.removeOptionalField(unsigned(id));
            }
        }
        for (unsigned k = 0; k < rec->numKnownExtensions; ++k) {
            unsigned const opt = rec->numOptionals + k;
            unsigned const i = rec->numRootFields + k;
            if (r_.presence(rec, opt, total, 50)) {
                v.includeOptionalField(opt, i);
                fillField(v, i);
            } else {
                v.removeOptionalField(opt);
            }
        }
        return Stop;
    }

private:
    void fillField(SEQUENCE& v, unsigned i) {
        if (!v.getField(i)) v.setField(i, AbstractData::create(v.record()->fieldInfos[i]));
        if (v.getField(i)) r_.fill(*v.getField(i), depth_ + 1);
    }
    unsigned sizeFor(ConstrainedObject const& v, unsigned cap) {
        if (!v.constrained()) return r_.size(nullptr, 0, 0xFFFFFFFFu, cap);
        return r_.size(v.info(), unsigned(v.getLowerLimit()), v.getUpperLimit(), cap);
    }

    RandomValue& r_;
    int depth_;
    void const* openInfo_;
};

}  // namespace

RandomValue::Seen& RandomValue::seen(void const* record, Seen::Kind kind, unsigned n) {
    Seen& s = seen_[record];
    if (s.marks.size() < n) {
        s.kind = kind;
        s.marks.resize(n, 0);
    }
    return s;
}

unsigned RandomValue::alternative(void const* record, unsigned total) {
    return firstUnseen(seen(record, Seen::Choice, total), total);
}

unsigned RandomValue::item(void const* record, unsigned total) {
    return firstUnseen(seen(record, Seen::Items, total), total);
}

unsigned RandomValue::firstUnseen(Seen& s, unsigned total) {
    for (unsigned k = 0; k < total; ++k) {
        if (!s.marks[k]) {
            s.marks[k] = Chosen;
            return k;
        }
    }
    return below(total);
}

bool RandomValue::presence(void const* record, unsigned opt, unsigned total, unsigned percent) {
    Seen& s = seen(record, Seen::Optionals, total);
    uint8_t& m = s.marks[opt];
    bool present = chance(percent);
    if (m == Absent) present = true;
    if (m == Present) present = false;
    m = uint8_t(m | (present ? Present : Absent));
    return present;
}

unsigned RandomValue::size(void const* record, unsigned lb, unsigned ub, unsigned cap) {
    unsigned const top = ub - lb < cap ? ub : lb + cap;
    if (record) {
        uint8_t& m = seen(record, Seen::Bounds, 1).marks[0];
        if (!(m & Lower)) {
            m |= Lower;
            return lb;
        }
        if (top != ub) m |= Upper;  // beyond the cap: not asked for
        if (!(m & Upper)) {
            m |= Upper;
            return ub;
        }
    }
    switch (below(6)) {
        case 0:
            return lb;
        case 1:
            return top;
        default:
            return lb + below(top - lb + 1);
    }
}

int RandomValue::integer(INTEGER const& v) {
    if (v.getConstraintType() == FixedConstraint || v.getConstraintType() == ExtendableConstraint) {
        int64_t const lb = v.getLowerLimit();
        int64_t const ub = lb < 0 ? int64_t(int(v.getUpperLimit())) : int64_t(v.getUpperLimit());
        int64_t const span = ub - lb;
        uint8_t& m = seen(v.info(), Seen::Bounds, 1).marks[0];
        if (!(m & Lower)) {
            m |= Lower;
            return int(lb);
        }
        if (!(m & Upper)) {
            m |= Upper;
            return int(ub);
        }
        switch (below(8)) {
            case 0:
                return int(lb);
            case 1:
                return int(ub);
            case 2:
                return int(span > 0 ? lb + 1 : lb);
            case 3:
                return int(span > 0 ? ub - 1 : ub);
            default:
                return int(lb + int64_t(uint64_t(next()) * uint64_t(next()) % uint64_t(span + 1)));
        }
    }
    static int const edges[] = {0,       1,        -1,      127,     128,    -128,   -129,
                                255,     256,      32767,   32768,   -32768, -32769, 8388607,
                                8388608, -8388609, INT_MAX, INT_MIN, 65535,  65536};
    if (chance(50)) return edges[below(sizeof edges / sizeof edges[0])];
    return int(next()) >> below(32);
}

void RandomValue::fill(AbstractData& value, int depth) {
    Filler filler(*this, depth, openTypeInfo_);
    value.accept(filler);
}

AbstractData* RandomValue::make(void const* info) {
    AbstractData* value = AbstractData::create(info);
    if (value) fill(*value, 0);
    return value;
}

std::vector<std::string> RandomValue::gaps() const {
    std::vector<std::string> out;
    for (auto const& [record, s] : seen_) {
        switch (s.kind) {
            case Seen::Choice: {
                auto const* rec = static_cast<ChoiceInfo const*>(record);
                for (std::size_t k = 0; k < s.marks.size(); ++k)
                    if (!s.marks[k])
                        out.push_back(std::string("alternative ") + rec->selectionNames[k] +
                                      " never chosen");
                break;
            }
            case Seen::Items:
                for (std::size_t k = 0; k < s.marks.size(); ++k)
                    if (!s.marks[k])
                        out.push_back(std::string("item ") + std::to_string(k) + " of " +
                                      static_cast<EnumeratedInfo const*>(record)->names[0] +
                                      ",... never chosen");
                break;
            case Seen::Optionals: {
                auto const* rec = static_cast<SequenceInfo const*>(record);
                for (unsigned opt = 0; opt < s.marks.size(); ++opt) {
                    if (s.marks[opt] == (Absent | Present)) continue;
                    unsigned field = rec->numRootFields + (opt - rec->numOptionals);
                    for (unsigned i = 0; i < rec->numRootFields; ++i)
                        if (rec->fieldIds[i] == int(opt)) field = i;
                    out.push_back(std::string("component ") + rec->fieldNames[field] + " never " +
                                  (s.marks[opt] & Present ? "absent" : "present"));
                }
                break;
            }
            case Seen::Bounds: {
                auto const* rec = static_cast<ConstrainedInfo const*>(record);
                if (s.marks[0] != (Lower | Upper))
                    out.push_back("constraint (" + std::to_string(rec->lowerLimit) + ".." +
                                  std::to_string(rec->upperLimit) +
                                  "): " + (s.marks[0] & Lower ? "upper" : "lower") +
                                  " bound never produced");
                break;
            }
        }
    }
    return out;
}

}  // namespace ASN1Oracle
