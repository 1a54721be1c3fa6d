#include "runtime/config/ini_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace IniFile {

// ---- SubKey ----

bool SubKey::GetBool(bool def) const {
    static char const* const words[] = {"true", "false", "yes", "no", "1", "0", "on", "off"};
    for (unsigned i = 0; i < sizeof(words) / sizeof(words[0]); ++i)
        if (mValue == words[i]) return i % 2 == 0;
    return def;
}

void SubKey::SetBool(bool b) {
    mValue = b ? "yes" : "no";
}

int SubKey::GetInt(int def) const {
    char const* begin = mValue.c_str();
    char* end = nullptr;
    errno = 0;
    long const n = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE) return def;
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max()) return def;
    return int(n);
}

void SubKey::SetInt(int n) {
    std::ostringstream text;
    text << n;
    mValue = text.str();
}

float SubKey::GetFloat(float def) const {
    char const* begin = mValue.c_str();
    char* end = nullptr;
    float const f = std::strtof(begin, &end);
    return end == begin ? def : f;
}

void SubKey::SetFloat(float f) {
    std::ostringstream text;
    text << f;
    mValue = text.str();
}

void SubKey::Dump(std::ostream& os) const {
    os << "dumping IniFile::SubKey\n";
    os << "mValue=\"" << mValue << "\"\n";
    os << "mLineNo=" << mLineNo << "\n";
}

// ---- Key ----

SubKey* Key::NewSubKey(std::string const& value, int line) {
    return subkeys_.insert_to_tail(new SubKey(value, line));
}

void Key::CheckEmpty() {
    if (subkeys_.empty()) NewSubKey(std::string(), -1);
}

SubKey* Key::GetFirstSubKey() {
    CheckEmpty();
    return subkeys_.front();
}

SubKey* Key::GetLastSubKey() {
    CheckEmpty();
    return subkeys_.back();
}

void Key::Dump(std::ostream& os) const {
    os << "dumping IniFile::Key\n";
    os << "mName=\"" << mName << "\"\n";
    os << "mSubKeyCount=" << GetCount() << "\n";
    for (SubKey const& subkey : *this) subkey.Dump(os);
}

// ---- SubSection ----

Key& SubSection::operator[](std::string const& name) {
    auto const found = by_name_.find(name);
    if (found != by_name_.end()) return *found->second;
    Key* key = NewKey(name);
    by_name_.emplace(name, key);
    return *key;
}

Key* SubSection::NewKey(std::string const& name) {
    return keys_.insert_to_tail(new Key(name));
}

SubKey* SubSection::NewSubKey(std::string const& name, std::string const& value, int line) {
    return (*this)[name].NewSubKey(value, line);
}

void SubSection::CleanKeys() {
    keys_.clear();
    by_name_.clear();
}

void SubSection::Dump(std::ostream& os) const {
    os << "dumping IniFile::SubSection\n";
    os << "mLineNo=\"" << mLineNo << "\"\n";
    os << "mKeyCount=" << GetKeyCount() << "\n";
    for (Key const& key : *this) key.Dump(os);
}

// ---- Section ----

SubSection* Section::NewSubSection(int line) {
    return subsections_.insert_to_tail(new SubSection(line));
}

void Section::CheckEmpty() {
    if (subsections_.empty()) NewSubSection(-1);
}

void Section::Dump(std::ostream& os) const {
    os << "dumping IniFile::Section\n";
    os << "mName=\"" << mName << "\"\n";
    os << "mSubSectionCount=" << GetSubSectionCount() << "\n";
    for (SubSection const& subsection : *this) subsection.Dump(os);
}

// ---- File ----

bool File::Open(std::string const& name) {
    Close();
    mFileName = name;
    std::ifstream in(name.c_str(), std::ios::in | std::ios::binary);
    if (!in.is_open()) return false;
    IntOpenStream(in);
    return open_;
}

void File::Close() {
    if (!open_) return;
    CleanSections();
    open_ = false;
}

Section& File::operator[](std::string const& name) {
    auto const found = by_name_.find(name);
    if (found != by_name_.end()) return *found->second;
    Section* section = NewSection(name);
    by_name_.emplace(name, section);
    return *section;
}

Section* File::NewSection(std::string const& name) {
    return sections_.insert_to_tail(new Section(name));
}

SubSection* File::NewSubSection(std::string const& name, int line) {
    return (*this)[name].NewSubSection(line);
}

void File::CleanSections() {
    sections_.clear();
    by_name_.clear();
}

void File::Dump(std::ostream& os) const {
    os << "dumping IniFile::File\n";
    os << "mFileName=\"" << mFileName << "\"\n\n";
    os << "mSectionCount=" << GetSectionCount() << "\n";
    for (Section const& section : *this) section.Dump(os);
}

namespace {

// The grammar is line based: "[name]" opens a subsection, "key = value"
// adds a subkey to it, "#" starts a comment (inside a value only after a
// space), carriage returns are ignored.
class Parser {
public:
    explicit Parser(File& file) : file_(file) {}

    void feed(unsigned char c) {
        if (c == '\r') return;
        if (comment_) {
            if (c != '\n') return;
            comment_ = false;
        }
        handle(c);
        if (c == '\n') ++line_;
    }

    void finish() {
        if (state_ == AfterEquals || state_ == Value) store();
    }

private:
    enum State { Outside, Header, AfterHeader, LineStart, KeyName, AfterEquals, Value };

    void handle(unsigned char c) {
        switch (state_) {
            case Outside:
                if (c == '#')
                    comment_ = true;
                else if (c == '[')
                    open_header();
                return;
            case Header:
                if (c == '\n') {
                    state_ = Outside;
                } else if (c == ']') {
                    current_ = file_.NewSubSection(section_, line_);
                    state_ = AfterHeader;
                } else {
                    section_ += char(c);
                }
                return;
            case AfterHeader:
                if (c == '\n')
                    state_ = LineStart;
                else if (c == '#')
                    comment_ = true;
                return;
            case LineStart:
                if (c == '#') {
                    comment_ = true;
                } else if (c == '[') {
                    open_header();
                } else if (c != ' ' && c != '\t' && c != '\n') {
                    key_.assign(1, char(c));
                    spaces_ = 0;
                    state_ = KeyName;
                }
                return;
            case KeyName:
                if (c == ' ') {
                    ++spaces_;
                } else if (c == '=') {
                    value_.clear();
                    state_ = AfterEquals;
                } else if (c == '\n') {
                    // A line without "=" is dropped; the next line starts
                    // afresh, so a header or comment on it is still seen.
                    key_.clear();
                    spaces_ = 0;
                    state_ = LineStart;
                } else {
                    append(key_, c);
                }
                return;
            case AfterEquals:
                if (c == ' ') return;
                if (c == '#') {
                    comment_ = true;
                } else if (c == '\n') {
                    store();
                } else {
                    value_.assign(1, char(c));
                    spaces_ = 0;
                    state_ = Value;
                }
                return;
            case Value:
                if (c == ' ') {
                    ++spaces_;
                } else if (c == '#' && spaces_ > 0) {
                    spaces_ = 0;
                    comment_ = true;
                } else if (c == '\n') {
                    store();
                } else {
                    append(value_, c);
                }
                return;
        }
    }

    void open_header() {
        section_.clear();
        state_ = Header;
    }

    void append(std::string& text, unsigned char c) {
        text.append(spaces_, ' ');
        spaces_ = 0;
        text += char(c);
    }

    // Stores the key of the current line; the line feed that ends it (or
    // the end of the stream) has not been counted yet.
    void store() {
        if (current_) current_->NewSubKey(key_, value_, line_);
        key_.clear();
        value_.clear();
        spaces_ = 0;
        state_ = LineStart;
    }

    File& file_;
    State state_ = Outside;
    int line_ = 1;
    SubSection* current_ = nullptr;
    std::string section_;
    std::string key_;
    std::string value_;
    unsigned spaces_ = 0;
    bool comment_ = false;
};

}  // namespace

void File::IntOpenStream(std::istream& in) {
    open_ = true;
    Parser parser(*this);
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) return;
    for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc())
        parser.feed((unsigned char)c);
    parser.finish();
    in.setstate(std::ios::eofbit);
}

std::istream& operator>>(std::istream& in, File& file) {
    file.Close();
    file.mFileName.clear();
    file.IntOpenStream(in);
    return in;
}

}  // namespace IniFile
