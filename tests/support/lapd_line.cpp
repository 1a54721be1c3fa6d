#include "tests/support/lapd_line.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace support {

LapdEnd::LapdEnd(std::string name_, ISDN::LapdParams const& params, std::vector<std::string>& log_)
    : name(std::move(name_)), log(log_), lapd(params, *this) {}

void LapdEnd::give(std::string const& frame) {
    // Storage of the frame's own size, so that a read past its end is
    // caught by the address sanitizer.
    Bytes const bytes = hex(frame);
    std::unique_ptr<uint8_t[]> const exact(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    lapd.Receive(exact.get(), bytes.size());
}

ISDN::Lapd::SendResult LapdEnd::send(Bytes const& message) {
    return lapd.Send(message.data(), message.size());
}

void LapdEnd::LapdTransmit(uint8_t const* frame, size_t size) {
    Bytes const bytes(frame, frame + size);
    log.push_back(name + ' ' + text(bytes));
    if (out) out(bytes);
}

LapdLine::LapdLine(LapdEnd& a, LapdEnd& b) : a_(a), b_(b) {
    a_.out = [this](Bytes const& frame) { carry(a_, frame); };
    b_.out = [this](Bytes const& frame) { carry(b_, frame); };
}

void LapdLine::carry(LapdEnd& from, Bytes const& frame) {
    in_flight_.push_back({&from == &a_ ? &b_ : &a_, frame});
    if (!timer_.is_running()) timer_.set(0, &LapdLine::deliver, this);
}

void LapdLine::deliver() {
    // Frames sent while these are taken in go on the next pass.
    std::deque<InFlight> batch;
    batch.swap(in_flight_);
    for (InFlight const& f : batch) f.to->lapd.Receive(f.frame.data(), f.frame.size());
}

}  // namespace support
