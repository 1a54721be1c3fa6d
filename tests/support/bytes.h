#pragma once
// Bytes as the tests write them: "03 00 0A" in, "03 00 0A" out, so that
// expected wire bytes stand in the test as text.

#include <string>
#include <vector>

namespace support {

using Bytes = std::vector<unsigned char>;

// "03 00 0A" -> bytes.
Bytes hex(std::string const& text);
// Bytes -> "03 00 0A".
std::string text(Bytes const& bytes);

}  // namespace support
