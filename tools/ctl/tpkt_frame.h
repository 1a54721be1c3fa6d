#pragma once
// TPKT framing as the controller tool sees it: the frame around one outgoing
// payload, and a reader that cuts the incoming byte stream back into payloads.
// A frame is a 4-byte header (version 3, a reserved 0, a 16-bit big-endian
// length that counts the header) followed by the payload.

#include <cstddef>
#include <optional>
#include <vector>

namespace Ctl {

using Bytes = std::vector<unsigned char>;

constexpr unsigned tpkt_header_size = 4;
// The largest payload the 16-bit length field can tell.
constexpr unsigned tpkt_max_payload = 0xFFFF - tpkt_header_size;

// The frame around the payload; empty when the payload is longer than
// tpkt_max_payload (a frame is never empty).
Bytes tpktFrame(Bytes const& payload);

class TpktReader {
public:
    void feed(unsigned char const* data, std::size_t size);
    // The payload of the next whole frame, or nothing until more bytes come.
    // Bytes that cannot start a frame (another version, a reserved octet
    // other than 0, a length shorter than the header) are skipped one by one
    // until a header reads again.
    std::optional<Bytes> next();
    // The number of bytes skipped since the last call.
    std::size_t takeSkipped();
    // Bytes of an incomplete frame still waiting for the rest.
    std::size_t pending() const { return buffer_.size() - start_; }

private:
    Bytes buffer_;
    std::size_t start_ = 0;
    std::size_t skipped_ = 0;
};

}  // namespace Ctl
