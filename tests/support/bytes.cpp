#include "tests/support/bytes.h"

#include <cstdio>
#include <sstream>

namespace support {

Bytes hex(std::string const& text) {
    Bytes out;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<unsigned char>(std::stoul(pair, nullptr, 16)));
    return out;
}

std::string text(Bytes const& bytes) {
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof(buf), "%02X", b);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

}  // namespace support
