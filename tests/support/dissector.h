#pragma once
// Wireshark as an independent reader of the octets the server sends: a test
// writes the frames it captured into a capture file and reads them back with
// tshark's dissectors, field by field. Used by the RTCP, radio header and
// signalling-link tests.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace support {

// Link types of the capture file: what the first octet of a frame is.
enum class LinkType : uint32_t {
    ipv4 = 228,  // an IPv4 header (build one with udpPacket)
    mtp2 = 140,  // an MTP level 2 signal unit from its BSN octet, no checksum
    lapd = 203,  // a LAPD frame from its address field, no checksum
};

// A UDP datagram on 127.0.0.1 from port to port, as an IPv4 packet with
// correct lengths and header checksum (the UDP checksum left 0).
Bytes udpPacket(uint16_t from, uint16_t to, Bytes const& payload);

struct Dissection {
    // One row per frame, the fields in the order asked; a field the frame
    // lacks is "", one with several values has them joined by ",".
    std::vector<std::vector<std::string>> rows;
    // Empty when tshark ran and read every frame; else why not.
    std::string error;
};

// Writes the frames to a capture file and reads them with tshark -T fields.
// options come before the fields: decode-as rules ("-d",
// "udp.port==5005,rtcp") or preferences ("-o", "...").
// The field "_ws.malformed" is non-empty on a frame the dissector found
// malformed; "_ws.expert" names every expert note.
Dissection dissect(LinkType type, std::vector<Bytes> const& frames,
                   std::vector<std::string> const& fields,
                   std::vector<std::string> const& options = {});

}  // namespace support
