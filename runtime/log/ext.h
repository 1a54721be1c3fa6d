#pragma once
// Small output helpers for traces, log lines and the status dump: hex dumps,
// hexadecimal numbers, quoted values, the header with which an object names
// itself at the start of each of its log lines (ext::header calls the
// object's PutHeader), a short-info form, and ext::Table for fixed-width text
// tables. Each helper is a value made by a function and printed by
// ext::operator<<, so it can stand inside a chain of insertions.

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace ext {

class OutBufInHex {
public:
    OutBufInHex(unsigned char const* begin, unsigned char const* end) : begin_(begin), end_(end) {}
    void Put(std::ostream& os) const;

private:
    unsigned char const* begin_;
    unsigned char const* end_;
};

class OutUnsignedInHex {
public:
    OutUnsignedInHex(unsigned value, unsigned width) : value_(value), width_(width) {}
    void Put(std::ostream& os) const;

private:
    unsigned value_;
    unsigned width_;
};

template <class V>
class OutQuoted {
public:
    explicit OutQuoted(V const& value) : value_(value) {}
    void Put(std::ostream& os) const { os << '"' << value_ << '"'; }

private:
    V const& value_;
};

template <class T>
class OutObjHeader {
public:
    explicit OutObjHeader(T const& object) : object_(object) {}
    void Put(std::ostream& os) const { object_.PutHeader(os); }

private:
    T const& object_;
};

template <class T>
class OutShortInfo {
public:
    explicit OutShortInfo(T const& object) : object_(object) {}
    void Put(std::ostream& os) const { object_.PutShortInfo(os); }

private:
    T const& object_;
};

inline OutBufInHex hex(char const* p, unsigned len) {
    auto const* begin = reinterpret_cast<unsigned char const*>(p);
    return OutBufInHex(begin, begin + len);
}
inline OutBufInHex hex(unsigned char const* begin, unsigned char const* end) {
    return OutBufInHex(begin, end);
}
inline OutUnsignedInHex hex(unsigned value, unsigned width) {
    return OutUnsignedInHex(value, width);
}
template <class V>
OutQuoted<V> quoted(V const& value) {
    return OutQuoted<V>(value);
}
template <class T>
OutObjHeader<T> header(T const* object) {
    return OutObjHeader<T>(*object);
}
template <class T>
OutShortInfo<T> shortinfo(T const* object) {
    return OutShortInfo<T>(*object);
}

inline std::ostream& operator<<(std::ostream& os, OutBufInHex const& o) {
    o.Put(os);
    return os;
}
inline std::ostream& operator<<(std::ostream& os, OutUnsignedInHex const& o) {
    o.Put(os);
    return os;
}
template <class V>
std::ostream& operator<<(std::ostream& os, OutQuoted<V> const& o) {
    o.Put(os);
    return os;
}
template <class T>
std::ostream& operator<<(std::ostream& os, OutObjHeader<T> const& o) {
    o.Put(os);
    return os;
}
template <class T>
std::ostream& operator<<(std::ostream& os, OutShortInfo<T> const& o) {
    o.Put(os);
    return os;
}

// A text table of fixed-width columns: cells are centred and cut to their
// column, each row is closed with "|" and a line end, border lines are drawn
// with "+" and "-".
class Table {
public:
    class Sentry;

    Table() = default;
    template <class... W>
    explicit Table(int first, W... rest) : widths_{first, int(rest)...} {}

    void add(int width) { widths_.push_back(width); }
    void init() { resetrow(); }
    void resetrow() {
        column_ = 0;
        row_open_ = false;
    }
    void row(std::ostream& os, std::string const& text);
    void finalize(std::ostream& os);
    void delimeter(std::ostream& os);
    void gap(std::ostream& os);

private:
    void line(std::ostream& os, char corner, char fill);

    std::vector<int> widths_;
    unsigned column_ = 0;
    bool row_open_ = false;
};

// Collects the text of the current cell; ends the table's open row when it
// goes away (cell text never ended with ext::nextrow is dropped).
class Table::Sentry {
public:
    Sentry(std::ostream& os, Table& table) : os_(os), table_(table) {}
    Sentry(Sentry const&) = delete;
    ~Sentry() { table_.finalize(os_); }

    template <class V>
    Sentry& put(V const& value) {
        cell_ << value;
        return *this;
    }
    void resetrow() { table_.resetrow(); }
    void row() {
        table_.row(os_, cell_.str());
        cell_.str(std::string());
    }
    void delimeter() { table_.delimeter(os_); }

private:
    std::ostream& os_;
    Table& table_;
    std::ostringstream cell_;
};

// Manipulators for a table sentry.
inline void beginrow(Table::Sentry& s) {
    s.resetrow();
}
inline void nextrow(Table::Sentry& s) {
    s.row();
}
inline void delimeter(Table::Sentry& s) {
    s.delimeter();
}

inline Table::Sentry operator<<(std::ostream& os, Table& table) {
    return Table::Sentry(os, table);
}

template <class V>
Table::Sentry&& operator<<(Table::Sentry&& s, V const& value) {
    s.put(value);
    return std::move(s);
}
inline Table::Sentry&& operator<<(Table::Sentry&& s, void (*manipulator)(Table::Sentry&)) {
    manipulator(s);
    return std::move(s);
}
template <class V>
Table::Sentry& operator<<(Table::Sentry& s, V const& value) {
    return s.put(value);
}
inline Table::Sentry& operator<<(Table::Sentry& s, void (*manipulator)(Table::Sentry&)) {
    manipulator(s);
    return s;
}

}  // namespace ext
