#include "tests/support/dissector.h"

#include <fstream>
#include <sstream>

#include "tests/support/process.h"
#include "tests/support/temp_root.h"

namespace support {
namespace {

void put16(std::string& out, uint32_t v) {
    out += char(v >> 8);
    out += char(v);
}

void put32(std::string& out, uint32_t v) {
    put16(out, v >> 16);
    put16(out, v & 0xFFFF);
}

// Classic pcap, big-endian words: tshark reads either byte order.
std::string captureFile(LinkType type, std::vector<Bytes> const& frames) {
    std::string out;
    put32(out, 0xA1B2C3D4);
    put16(out, 2);
    put16(out, 4);
    put32(out, 0);  // time zone
    put32(out, 0);  // accuracy
    put32(out, 65535);
    put32(out, uint32_t(type));
    uint32_t second = 0;
    for (Bytes const& frame : frames) {
        put32(out, ++second);
        put32(out, 0);
        put32(out, uint32_t(frame.size()));
        put32(out, uint32_t(frame.size()));
        out.append(frame.begin(), frame.end());
    }
    return out;
}

std::vector<std::string> split(std::string const& line, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator)) fields.push_back(field);
    if (!line.empty() && line.back() == separator) fields.emplace_back();
    return fields;
}

}  // namespace

Bytes udpPacket(uint16_t from, uint16_t to, Bytes const& payload) {
    size_t const total = 20 + 8 + payload.size();
    Bytes p = {0x45, 0, uint8_t(total >> 8), uint8_t(total), 0, 0, 0x40, 0, 64, 17, 0, 0,
               127,  0, 0,  1,  127, 0, 0, 1};
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum += uint32_t(p[i] << 8 | p[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    p[10] = uint8_t(~sum >> 8);
    p[11] = uint8_t(~sum);
    size_t const udp = 8 + payload.size();
    Bytes const header = {uint8_t(from >> 8), uint8_t(from), uint8_t(to >> 8), uint8_t(to),
                          uint8_t(udp >> 8),  uint8_t(udp),  0,                0};
    p.insert(p.end(), header.begin(), header.end());
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

Dissection dissect(LinkType type, std::vector<Bytes> const& frames,
                   std::vector<std::string> const& fields, std::vector<std::string> const& options) {
    TempDir dir;
    std::string const capture = dir.under("/frames.pcap");
    std::ofstream(capture, std::ios::binary) << captureFile(type, frames);

    Launch launch{"/usr/bin/tshark", {"-n", "-r", capture}, "", "", true,
                  dir.under("/out"), dir.under("/err")};
    launch.args.insert(launch.args.end(), options.begin(), options.end());
    for (auto const& arg : {"-T", "fields", "-E", "separator=|", "-E", "occurrence=a",
                            "-E", "aggregator=,"})
        launch.args.push_back(arg);
    for (std::string const& field : fields) {
        launch.args.push_back("-e");
        launch.args.push_back(field);
    }
    Dissection result;
    int const status = waitExit(start(launch), std::chrono::seconds(60));
    std::istringstream out(readFile(launch.output));
    for (std::string line; std::getline(out, line);) result.rows.push_back(split(line, '|'));
    if (status != 0)
        result.error = "tshark exit status " + std::to_string(status) + ": " + readFile(launch.errors);
    else if (result.rows.size() != frames.size())
        result.error = "tshark read " + std::to_string(result.rows.size()) + " of " +
                       std::to_string(frames.size()) + " frames";
    return result;
}

}  // namespace support
