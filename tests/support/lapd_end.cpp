#include "tests/support/lapd_end.h"

#include <sstream>
#include <utility>


namespace support {

namespace {

std::string Flag(bool command, bool pf) { return std::string(command ? "p=" : "f=") + (pf ? '1' : '0'); }

// A frame sent by an entity on `side`, as a transcript writes it.
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

}  // namespace

LapdEnd::LapdEnd(Bench& bench_, std::string name_, ISDN::LapdParams const& params)
    : Bench::End(bench_, std::move(name_)), lapd(params, *this, bench_.clock) {}

void LapdEnd::establish() {
    Write("establish");
    lapd.Establish();
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
    if (!lost) bench.Put(index, bytes);
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

namespace {

// A frame as Wireshark reads it, in the words of a transcript line.
std::string FromWireshark(std::vector<std::string> const& row) {
    // lapd.cr, ftype, s_ftype, u_modifier_cmd, n_s, n_r, p, f, and the
    // malformed mark of any dissector (LAPD's or Q.931's).
    if (row.size() < 9) return "a row of " + std::to_string(row.size()) + " fields";
    if (!row[8].empty()) return "malformed: " + row[8];
    std::string kind;
    if (row[1] == "0x0000") {
        kind = "I";
    } else if (row[1] == "0x0001") {
        kind = row[2] == "0x0000" ? "RR" : row[2] == "0x0001" ? "RNR" : row[2] == "0x0002" ? "REJ" : "S?";
    } else {
        kind = row[3] == "0x1b" ? "SABME" : row[3] == "0x18" ? "UA" : row[3] == "0x03" ? "DM"
             : row[3] == "0x08" ? "DISC" : "U " + row[3];
    }
    std::string line = kind + " cr=" + row[0];
    if (kind == "I") line += " ns=" + row[4];
    if (kind == "I" || kind == "RR" || kind == "RNR" || kind == "REJ") line += " nr=" + row[5];
    line += std::string(" pf=") + (row[6] == "1" || row[7] == "1" ? '1' : '0');
    return line;
}

// The same words from a transcript line ("n> RR rsp nr=3 f=1"); "" for a
// frame the transcript calls invalid.
std::string FromTranscript(std::string const& line) {
    size_t const mark = line.find("> ");
    char const sender = line[mark - 1];
    std::istringstream words(line.substr(mark + 2));
    std::string kind, word, ns, nr, pf = "0";
    bool command = true;
    words >> kind;
    if (kind == "invalid") return "";
    while (words >> word) {
        if (word == "rsp") command = false;
        if (word.rfind("ns=", 0) == 0) ns = word.substr(3);
        if (word.rfind("nr=", 0) == 0) nr = word.substr(3);
        if (word.rfind("p=", 0) == 0 || word.rfind("f=", 0) == 0) pf = word.substr(2);
    }
    // The network sets C/R 1 on its commands, the user on its responses.
    bool const cr = (sender == 'n') == command;
    std::string out = kind + " cr=" + (cr ? "1" : "0");
    if (!ns.empty()) out += " ns=" + ns;
    if (!nr.empty()) out += " nr=" + nr;
    return out + " pf=" + pf;
}

}  // namespace

std::string LapdDissectionDiffers(Transcript const& transcript) {
    return DissectionDiffers(transcript, LinkType::lapd,
                             {"lapd.cr", "lapd.control.ftype", "lapd.control.s_ftype",
                              "lapd.control.u_modifier_cmd", "lapd.control.n_s",
                              "lapd.control.n_r", "lapd.control.p", "lapd.control.f",
                              "_ws.malformed"},
                             FromTranscript, FromWireshark);
}

}  // namespace support
