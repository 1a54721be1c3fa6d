#include "tests/support/mtp2_end.h"

#include <sstream>
#include <utility>


namespace support {

namespace {

// A signal unit as a transcript writes it.
std::string DescribeUnit(Bytes const& bytes) {
    Ss7::SignalUnit unit;
    if (Ss7::Parse(bytes.data(), bytes.size(), unit) != Ss7::ParseResult::good)
        return "malformed " + text(bytes);
    std::ostringstream line;
    line << unit << " li " << (bytes[2] & 0x3F);
    return line.str();
}

// The timers of the tests: periods short enough to read a transcript
// through, in the order of the real ones.
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

}  // namespace

Mtp2End::Mtp2End(Bench& bench_, std::string name_)
    : Bench::End(bench_, std::move(name_)), link(*this, TestTimers(), bench_.clock) {
    link.traces().state = true;
}

void Mtp2End::start(bool emergency) {
    Write(emergency ? "start emergency" : "start");
    link.Start(emergency);
    bench.Settle();
}

bool Mtp2End::send(Bytes const& msu) {
    std::string reason;
    bool const sent = link.Send(msu.data(), msu.size(), reason);
    if (!sent) Write("send refused: " + reason);
    bench.Settle();
    return sent;
}

void Mtp2End::give(std::string const& unit) {
    Bytes const bytes = hex(unit);
    bench.transcript.AddFrame("z> " + DescribeUnit(bytes), bytes);
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
    if (!lost) bench.Put(index, bytes);
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

namespace {

// "bsn 127/1 fsn 0/1 li 3 sf 1" from a transcript line; "" for a unit the
// transcript calls malformed.
std::string FromTranscript(std::string const& line) {
    std::istringstream words(line.substr(line.find("> ") + 2));
    std::string kind, word, bsn, fsn, li, sf;
    words >> kind;
    if (kind == "malformed") return "";
    if (kind == "LSSU") {
        words >> word;
        char const* const names[] = {"SIO", "SIN", "SIE", "SIOS", "SIPO", "SIB"};
        for (int i = 0; i < 6; ++i)
            if (word == names[i]) sf = std::to_string(i);
    }
    while (words >> word) {
        if (word == "bsn") words >> bsn;
        if (word == "fsn") words >> fsn;
        if (word == "li") words >> li;
    }
    std::string out = "bsn " + bsn + " fsn " + fsn + " li " + li;
    return sf.empty() ? out : out + " sf " + sf;
}

std::string FromWireshark(std::vector<std::string> const& row) {
    // bsn, bib, fsn, fib, li, sf, and the malformed mark of any dissector
    // (MTP2's or MTP3's).
    if (row.size() < 7) return "a row of " + std::to_string(row.size()) + " fields";
    if (!row[6].empty()) return "malformed: " + row[6];
    std::string out = "bsn " + row[0] + '/' + row[1] + " fsn " + row[2] + '/' + row[3] + " li " + row[4];
    return row[5].empty() ? out : out + " sf " + row[5];
}

}  // namespace

std::string Mtp2DissectionDiffers(Transcript const& transcript) {
    return DissectionDiffers(transcript, LinkType::mtp2,
                             {"mtp2.bsn", "mtp2.bib", "mtp2.fsn", "mtp2.fib", "mtp2.li", "mtp2.sf",
                              "_ws.malformed"},
                             FromTranscript, FromWireshark);
}

}  // namespace support
