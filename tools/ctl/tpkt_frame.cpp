#include "tools/ctl/tpkt_frame.h"

#include <algorithm>

namespace Ctl {

namespace {

constexpr unsigned char tpkt_version = 3;

}  // namespace

Bytes tpktFrame(Bytes const& payload) {
    if (payload.size() > tpkt_max_payload) return Bytes();
    unsigned const length = unsigned(payload.size()) + tpkt_header_size;
    Bytes frame;
    frame.reserve(length);
    frame.push_back(tpkt_version);
    frame.push_back(0);
    frame.push_back(static_cast<unsigned char>(length >> 8));
    frame.push_back(static_cast<unsigned char>(length & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

void TpktReader::feed(unsigned char const* data, std::size_t size) {
    // Consumed bytes are dropped before the buffer grows, so it holds at most
    // one frame and the latest chunk.
    if (start_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

std::optional<Bytes> TpktReader::next() {
    for (;;) {
        if (pending() < tpkt_header_size) return std::nullopt;
        unsigned char const* head = buffer_.data() + start_;
        unsigned const length = unsigned(head[2]) << 8 | head[3];
        if (head[0] != tpkt_version || head[1] != 0 || length < tpkt_header_size) {
            ++start_;
            ++skipped_;
            continue;
        }
        if (pending() < length) return std::nullopt;
        Bytes payload(head + tpkt_header_size, head + length);
        start_ += length;
        return payload;
    }
}

std::size_t TpktReader::takeSkipped() {
    std::size_t const n = skipped_;
    skipped_ = 0;
    return n;
}

}  // namespace Ctl
