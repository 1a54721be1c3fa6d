#pragma once
// Declarative reading of one configuration subsection: the caller registers
// each key it wants with the variable that receives the parsed value, as
// required (any problem fails the whole subsection) or optional (a problem
// drops only that key), then applies the reader. Absent, repeated and
// malformed keys are reported on the given error stream, each line starting
// with the caller's prefix; keys nobody registered are ignored.
//
//   IniFile::Reader reader("traces: ", std::cerr);
//   reader.mOptional.add(&hdlc, "signalling.hdlc");
//   reader(subsection);

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "runtime/config/ini_file.h"

namespace IniFile {

// One entry of a table of enumeration names; a table ends with a null name.
template <class T>
struct Symbol {
    char const* name;
    T value;
};

namespace Private {

class KeyValue {
public:
    virtual ~KeyValue() = default;
    virtual char const* name() const = 0;

    // A value holding a zero byte (a damaged file) is invalid: the parsers
    // see text only up to the first zero byte and would take a cut value.
    bool parse(std::string const& value) {
        return mParsed = value.find('\0') == std::string::npos && do_parse(value.c_str());
    }

    bool mParsed = false;

protected:
    virtual bool do_parse(char const* value) = 0;
};

// Parses a whole decimal, hexadecimal ("0x") or octal (leading 0) number.
bool parse_long(char const* text, long* out);
// The ten words of a boolean key; false when the text is none of them.
bool parse_bool_word(char const* text, bool* out);

// The enumeration form: a name of the symbol table when one is given,
// otherwise any whole number that the enumeration's underlying type holds.
template <class T>
class TKeyValue : public KeyValue {
    static_assert(std::is_enum<T>::value, "a configuration key is a bool, a string or an enum");

public:
    TKeyValue(T* target, char const* name, Symbol<T> const* symbols)
        : target_(target), name_(name), symbols_(symbols) {}
    char const* name() const override { return name_; }

protected:
    bool do_parse(char const* value) override {
        for (Symbol<T> const* s = symbols_; s != nullptr && s->name != nullptr; ++s) {
            if (std::strcmp(s->name, value) == 0) {
                *target_ = s->value;
                return true;
            }
        }
        return parse_number(value);
    }

private:
    bool parse_number(char const* value) {
        using Underlying = typename std::underlying_type<T>::type;
        long number = 0;
        if (!parse_long(value, &number)) return false;
        // A number that the type cannot hold is refused, not cut short.
        bool const negative = number < 0;
        if (long(Underlying(number)) != number || (negative && !std::is_signed<Underlying>::value))
            return false;
        *target_ = T(number);
        return true;
    }

    T* target_;
    char const* name_;
    Symbol<T> const* symbols_;
};

template <>
class TKeyValue<bool> : public KeyValue {
public:
    TKeyValue(bool* target, char const* name, Symbol<bool> const*) : target_(target), name_(name) {}
    char const* name() const override { return name_; }

protected:
    bool do_parse(char const* value) override { return parse_bool_word(value, target_); }

private:
    bool* target_;
    char const* name_;
};

template <>
class TKeyValue<std::string> : public KeyValue {
public:
    TKeyValue(std::string* target, char const* name, Symbol<std::string> const*)
        : target_(target), name_(name) {}
    char const* name() const override { return name_; }

protected:
    bool do_parse(char const* value) override {
        *target_ = value;
        return true;
    }

private:
    std::string* target_;
    char const* name_;
};

}  // namespace Private

class Reader {
public:
    // An ordered list of key parsers, owned.
    class Field {
    public:
        // The key name must outlive the reader (callers pass literals). The
        // result is the parser's flag: true after a successful parse.
        template <class T>
        bool& add(T* target, char const* name, Symbol<T> const* symbols = nullptr) {
            return add(new Private::TKeyValue<T>(target, name, symbols));
        }
        bool& add(Private::KeyValue* parser) {
            parsers_.emplace_back(parser);
            return parser->mParsed;
        }

        std::vector<std::unique_ptr<Private::KeyValue>> const& parsers() const { return parsers_; }

    private:
        std::vector<std::unique_ptr<Private::KeyValue>> parsers_;
    };

    Reader(std::string const& prefix, std::ostream& errors) : prefix_(prefix), errors_(errors) {}

    // True when every required key was present once with a valid value.
    bool operator()(SubSection& subsection) { return parse(subsection); }
    bool parse(SubSection& subsection);

    Field mRequired;
    Field mOptional;

private:
    bool parse_required(SubSection& subsection, Private::KeyValue& parser);
    void parse_optional(SubSection& subsection, Private::KeyValue& parser);
    void report_lines(Key const& key);

    std::string prefix_;
    std::ostream& errors_;
};

}  // namespace IniFile
