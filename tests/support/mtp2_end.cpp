#include "tests/support/mtp2_end.h"

#include <sstream>
#include <utility>

namespace support {

std::string DescribeUnit(Bytes const& bytes) {
    Ss7::SignalUnit unit;
    if (Ss7::Parse(bytes.data(), bytes.size(), unit) != Ss7::ParseResult::good)
        return "malformed " + text(bytes);
    std::ostringstream line;
    line << unit << " li " << (bytes[2] & 0x3F);
    return line.str();
}

Ss7::Mtp2Link::Timers TestTimers() {
    Ss7::Mtp2Link::Timers t;
    t.t1 = 2000;
    t.t2 = 1500;
    t.t3 = 600;
    t.t4n = 1000;
    t.t4e = 300;
    t.t6 = 1500;
    t.t7 = 500;
    t.fill = 400;
    return t;
}

Mtp2End::Mtp2End(Bench& bench_, std::string name_, Ss7::Mtp2Link::Timers const& timers)
    : Bench::End(bench_, std::move(name_)), link(*this, timers, bench_.clock) {
    link.traces().state = true;
}

void Mtp2End::start(bool emergency) {
    Write(emergency ? "start emergency" : "start");
    link.Start(emergency);
    bench.Settle();
}

void Mtp2End::stop() {
    Write("stop");
    link.Stop();
    bench.Settle();
}

bool Mtp2End::send(Bytes const& msu) {
    std::string reason;
    bool const sent = link.Send(msu.data(), msu.size(), reason);
    if (!sent) Write("send refused: " + reason);
    bench.Settle();
    return sent;
}

void Mtp2End::give(std::string const& unit, char const* far) {
    Bytes const bytes = hex(unit);
    bench.transcript.AddFrame(std::string(far) + "> " + DescribeUnit(bytes), bytes);
    Take(bytes);
    bench.Settle();
}

void Mtp2End::Take(Bytes const& unit) {
    Bytes const exact(unit.begin(), unit.end());
    link.Receive(exact.data(), exact.size());
}

void Mtp2End::Transmit(uint8_t const* unit, size_t size) {
    Bytes const bytes(unit, unit + size);
    bool const lost = lose && lose(bytes);
    bench.transcript.AddFrame(name + "> " + DescribeUnit(bytes) + (lost ? " (lost)" : ""), bytes);
    if (!lost) bench.wire.Put(index, bytes);
}

void Mtp2End::OnMessage(uint8_t const* msu, size_t size) {
    received.emplace_back(msu, msu + size);
    Write("message " + text(received.back()));
}

void Mtp2End::OnInService() { Write("in service"); }

void Mtp2End::OnOutOfService() { Write("out of service"); }

void Mtp2End::OnTrace(std::string const& line) { Write(line); }

char const* Mtp2End::TimerName(unsigned index) const {
    return index < Ss7::Mtp2Link::fill ? Ss7::Mtp2Link::TimerName(index) : nullptr;
}

}  // namespace support
