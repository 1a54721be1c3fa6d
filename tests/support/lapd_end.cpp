#include "tests/support/lapd_end.h"

#include <utility>

namespace support {

namespace {

std::string Flag(bool command, bool pf) { return std::string(command ? "p=" : "f=") + (pf ? '1' : '0'); }

}  // namespace

std::string DescribeLapd(ISDN::Side side, Bytes const& frame) {
    // Parsed as the far end reads it, so that "cmd" is what the sender meant.
    ISDN::Side const far = side == ISDN::Side::user ? ISDN::Side::network : ISDN::Side::user;
    ISDN::Frame const f = ISDN::Parse(far, frame.data(), frame.size());
    if (f.kind == ISDN::FrameKind::invalid) return "invalid " + text(frame);
    std::string line = ISDN::NameOf(f.kind);
    line += f.command ? " cmd" : " rsp";
    if (f.kind == ISDN::FrameKind::I) {
        line = "I ns=" + std::to_string(f.ns) + " nr=" + std::to_string(f.nr) + ' ' +
               Flag(true, f.pf);
    } else if (f.kind == ISDN::FrameKind::RR || f.kind == ISDN::FrameKind::RNR ||
               f.kind == ISDN::FrameKind::REJ) {
        line += " nr=" + std::to_string(f.nr) + ' ' + Flag(f.command, f.pf);
    } else {
        line += ' ' + Flag(f.command, f.pf);
    }
    if (f.info_size > 0)
        line += ' ' + text(Bytes(frame.begin() + long(f.info_at), frame.end()));
    return line;
}

LapdEnd::LapdEnd(Bench& bench_, std::string name_, ISDN::LapdParams const& params)
    : Bench::End(bench_, std::move(name_)), lapd(params, *this, bench_.clock) {}

void LapdEnd::establish() {
    Write("establish");
    lapd.Establish();
    bench.Settle();
}

void LapdEnd::release() {
    Write("release");
    lapd.Release();
    bench.Settle();
}

ISDN::Lapd::SendResult LapdEnd::send(Bytes const& message) {
    Write("send " + text(message));
    ISDN::Lapd::SendResult const result = lapd.Send(message.data(), message.size());
    bench.Settle();
    return result;
}

void LapdEnd::give(std::string const& frame) {
    Bytes const bytes = hex(frame);
    ISDN::Side const far =
        lapd.params().side == ISDN::Side::user ? ISDN::Side::network : ISDN::Side::user;
    bench.transcript.AddFrame(std::string(far == ISDN::Side::user ? "u" : "n") + "> " +
                                  DescribeLapd(far, bytes),
                              bytes);
    Take(bytes);
    bench.Settle();
}

void LapdEnd::Take(Bytes const& frame) {
    Bytes const exact(frame.begin(), frame.end());
    lapd.Receive(exact.data(), exact.size());
}

void LapdEnd::LapdTransmit(uint8_t const* frame, size_t size) {
    Bytes const bytes(frame, frame + size);
    bool const lost = lose && lose(bytes);
    bench.transcript.AddFrame(name + "> " + DescribeLapd(lapd.params().side, bytes) +
                                  (lost ? " (lost)" : ""),
                              bytes);
    if (!lost) bench.wire.Put(index, bytes);
}

void LapdEnd::LapdUp() { Write("up"); }

void LapdEnd::LapdDown() { Write("down"); }

void LapdEnd::LapdData(uint8_t const* message, size_t size) {
    received.emplace_back(message, message + size);
    Write("data " + text(received.back()));
}

void LapdEnd::LapdCongestion(bool congested) {
    Write(congested ? "congested" : "not congested");
}

void LapdEnd::LapdError(ISDN::ErrorCause cause, char const* what) {
    errors += cause == ISDN::ErrorCause::invalid_frame ? "-" : ISDN::NameOf(cause);
    Write(std::string("error ") + ISDN::NameOf(cause) + ": " + what);
}

void LapdEnd::Check() {
    if (lapd.state() == noted_) return;
    noted_ = lapd.state();
    Write(std::string("state ") + ISDN::NameOf(noted_));
}

char const* LapdEnd::TimerName(unsigned index) const {
    return index == ISDN::Lapd::t200 ? "T200" : "T203";
}

}  // namespace support
