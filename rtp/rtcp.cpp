#include "rtp/rtcp.h"

#include <algorithm>
#include <iomanip>

namespace Rtcp {

namespace {

constexpr uint8_t version = 2;

void put16(Packet& out, size_t at, uint16_t value) {
    out[at] = uint8_t(value >> 8);
    out[at + 1] = uint8_t(value);
}

void append32(Packet& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

// The common header: version, no padding, the count, the type, and a length
// filled in by finish().
size_t begin(Packet& out, uint8_t count, PacketType type) {
    size_t const at = out.size();
    out.push_back(uint8_t(version << 6 | count));
    out.push_back(type);
    out.push_back(0);
    out.push_back(0);
    return at;
}

// The length field: the packet's 32-bit words less one.
void finish(Packet& out, size_t at) {
    put16(out, at + 2, uint16_t((out.size() - at) / 4 - 1));
}

}  // namespace

void AppendReceiverReport(Packet& out, uint32_t ssrc) {
    size_t const at = begin(out, 0, receiver_report);
    append32(out, ssrc);
    finish(out, at);
}

void AppendSdes(Packet& out, uint32_t ssrc, std::string const& cname) {
    size_t const at = begin(out, 1, source_description);
    append32(out, ssrc);
    size_t const length = std::min(cname.size(), max_item);
    out.push_back(sdes_cname);
    out.push_back(uint8_t(length));
    out.insert(out.end(), cname.begin(), cname.begin() + long(length));
    // The item list ends with a zero octet, and zeros pad the chunk to a
    // 32-bit boundary.
    do out.push_back(sdes_end);
    while ((out.size() - at) % 4 != 0);
    finish(out, at);
}

void AppendBye(Packet& out, uint32_t ssrc) {
    size_t const at = begin(out, 1, bye);
    append32(out, ssrc);
    finish(out, at);
}

Packet RtcpReporter::Start() {
    Packet out;
    AppendReceiverReport(out, ssrc_);
    AppendSdes(out, ssrc_, cname_);
    state_ = State::started;
    return out;
}

Packet RtcpReporter::End() {
    if (state_ != State::started) return {};
    Packet out;
    AppendReceiverReport(out, ssrc_);
    AppendSdes(out, ssrc_, cname_);
    AppendBye(out, ssrc_);
    state_ = State::ended;
    return out;
}

void RtcpReporter::Put(std::ostream& os) const {
    char const* const states[] = {"idle", "started", "ended"};
    std::ios::fmtflags const flags = os.flags();
    os << "rtcp ssrc 0x" << std::hex << std::setw(8) << std::setfill('0') << ssrc_
       << std::setfill(' ');
    os.flags(flags);
    os << " cname " << cname_ << ' ' << states[int(state_)];
}

}  // namespace Rtcp
