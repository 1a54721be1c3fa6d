#include "runtime/log/ext.h"

#include <algorithm>

namespace ext {

void OutBufInHex::Put(std::ostream& os) const {
    std::ios::fmtflags const saved = os.flags();
    os.fill('0');
    for (auto const* p = begin_; p < end_; ++p) {
        os.flags(std::ios::hex | std::ios::right | std::ios::uppercase);
        os.width(2);
        os << unsigned(*p) << ' ';
    }
    os.fill(' ');
    os.flags(saved);
}

void OutUnsignedInHex::Put(std::ostream& os) const {
    std::ios::fmtflags const saved = os.flags();
    os.fill('0');
    os << "0x";
    os.flags(std::ios::hex | std::ios::right | std::ios::uppercase);
    os.width(width_);
    os << value_;
    os.fill(' ');
    os.flags(saved);
}

void Table::row(std::ostream& os, std::string const& text) {
    if (column_ >= widths_.size()) return;
    row_open_ = true;
    int const width = std::max(widths_[column_], 0);
    std::string const cut = text.substr(0, std::size_t(width));
    int const spare = width - int(cut.size());
    os << '|' << std::string(std::size_t(spare / 2), ' ') << cut
       << std::string(std::size_t((spare + 1) / 2), ' ');
    if (++column_ == widths_.size()) {
        os << '|' << '\n';
        row_open_ = false;
    }
}

void Table::finalize(std::ostream& os) {
    while (row_open_ && column_ < widths_.size()) row(os, " ");
}

void Table::line(std::ostream& os, char corner, char fill) {
    finalize(os);
    if (widths_.empty()) return;
    for (int w : widths_) os << corner << std::string(std::size_t(std::max(w, 0)), fill);
    os << corner << '\n';
}

void Table::delimeter(std::ostream& os) {
    line(os, '+', '-');
}
void Table::gap(std::ostream& os) {
    line(os, '|', ' ');
}

}  // namespace ext
