#include "runtime/config/ini_reader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace IniFile {

namespace Private {

bool parse_long(char const* text, long* out) {
    if (*text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long const n = std::strtol(text, &end, 0);
    if (*end != '\0' || errno == ERANGE) return false;
    *out = n;
    return true;
}

bool parse_bool_word(char const* text, bool* out) {
    static struct {
        char const* word;
        bool value;
    } const words[] = {{"true", true},    {"false", false},    {"yes", true},    {"no", false},
                       {"enabled", true}, {"disabled", false}, {"enable", true}, {"disable", false},
                       {"1", true},       {"0", false}};
    for (auto const& w : words) {
        if (std::strcmp(w.word, text) == 0) {
            *out = w.value;
            return true;
        }
    }
    return false;
}

}  // namespace Private

bool Reader::parse(SubSection& subsection) {
    for (auto const& parser : mRequired.parsers())
        if (!parse_required(subsection, *parser)) return false;
    for (auto const& parser : mOptional.parsers()) parse_optional(subsection, *parser);
    return true;
}

bool Reader::parse_required(SubSection& subsection, Private::KeyValue& parser) {
    Key& key = subsection[parser.name()];
    int const count = key.GetCount();
    if (count == 1) {
        SubKey const& first = *key.GetFirstSubKey();
        if (parser.parse(first.GetStr())) return true;
        errors_ << prefix_ << "required key \"" << parser.name() << "\" has invalid value=\""
                << first.GetStr() << "\","
                << " line " << first.GetLineNo() << '\n';
    } else if (count == 0) {
        errors_ << prefix_ << "required key \"" << parser.name() << "\" not present, line "
                << subsection.GetLineNo() << '\n';
    } else if (count == 2) {
        errors_ << prefix_ << "required key \"" << parser.name() << "\" is duplicated!\n"
                << prefix_ << " first occurence at " << key.GetFirstSubKey()->GetLineNo()
                << " line.\n"
                << prefix_ << " second occurence at " << key.GetLastSubKey()->GetLineNo()
                << " line.\n";
    } else {
        errors_ << prefix_ << "required key \"" << parser.name() << "\" specified more than once:";
        report_lines(key);
        errors_ << " lines\n";
    }
    errors_.flush();
    return false;
}

void Reader::parse_optional(SubSection& subsection, Private::KeyValue& parser) {
    parser.mParsed = false;
    Key& key = subsection[parser.name()];
    int const count = key.GetCount();
    if (count == 0) return;
    if (count == 1) {
        SubKey const& first = *key.GetFirstSubKey();
        if (parser.parse(first.GetStr())) return;
        errors_ << prefix_ << "optional key \"" << parser.name() << "\" has invalid value=\""
                << first.GetStr() << "\","
                << " line " << first.GetLineNo() << ". Key will be ignored.\n";
    } else if (count == 2) {
        errors_ << prefix_ << "optional key \"" << parser.name() << "\" is duplicated!\n"
                << prefix_ << " first occurence at " << key.GetFirstSubKey()->GetLineNo()
                << " line.\n"
                << prefix_ << " second occurence at " << key.GetLastSubKey()->GetLineNo()
                << " line. Both keys will be ignored.\n";
    } else {
        errors_ << prefix_ << "optional key \"" << parser.name() << "\" specified more than once:";
        report_lines(key);
        errors_ << " lines."
                << " All keys will be ignored.\n";
    }
    errors_.flush();
}

void Reader::report_lines(Key const& key) {
    for (SubKey const& subkey : key) errors_ << ' ' << subkey.GetLineNo();
}

}  // namespace IniFile
