#include "signalling/isdn/lapd_frame.h"

namespace ISDN {

namespace {

// The C/R bit of a command sent from this side.
bool CommandBit(Side side) { return side == Side::network; }

// Unnumbered control fields with the P/F bit (0x10) clear.
struct UnnumberedCode {
    FrameKind kind;
    uint8_t code;
};
UnnumberedCode const unnumbered[] = {
    {FrameKind::SABME, 0x6F}, {FrameKind::DM, 0x0F},   {FrameKind::UI, 0x03},
    {FrameKind::DISC, 0x43},  {FrameKind::UA, 0x63},   {FrameKind::FRMR, 0x87},
    {FrameKind::XID, 0xAF},
};

// Supervisory control fields (first octet).
uint8_t SupervisoryCode(FrameKind kind) {
    return kind == FrameKind::RNR ? 0x05 : kind == FrameKind::REJ ? 0x09 : 0x01;
}

void PutAddress(Octets& out, Address const& a, bool command) {
    bool const cr = command == CommandBit(a.side);
    out.clear();
    out.push_back(uint8_t(a.sapi << 2 | (cr ? 0x02 : 0x00)));
    out.push_back(uint8_t(a.tei << 1 | 0x01));
}

}  // namespace

char const* NameOf(FrameKind kind) {
    static char const* const names[] = {"invalid", "I",  "RR", "RNR",  "REJ",  "SABME",
                                        "DM",      "UI", "DISC", "UA", "FRMR", "XID"};
    return names[size_t(kind)];
}

Frame Parse(Side side, uint8_t const* octets, size_t size) {
    Frame frame;
    // The address is two octets: EA 0 in the first, EA 1 in the second.
    if (size < 3 || (octets[0] & 0x01) != 0 || (octets[1] & 0x01) != 1) return frame;
    frame.addressed = true;
    frame.sapi = uint8_t(octets[0] >> 2);
    frame.tei = uint8_t(octets[1] >> 1);
    // A command from the far end carries the far end's command bit.
    frame.command = ((octets[0] & 0x02) != 0) == CommandBit(side == Side::user ? Side::network
                                                                                : Side::user);
    uint8_t const c = octets[2];
    if ((c & 0x01) == 0 || (c & 0x03) == 0x01) {
        // I-frame or supervisory frame: a second control octet.
        if (size < 4) {
            frame.truncated = true;
            return frame;
        }
        frame.nr = uint8_t(octets[3] >> 1);
        frame.pf = (octets[3] & 0x01) != 0;
        frame.info_at = 4;
        frame.info_size = size - 4;
        if ((c & 0x01) == 0) {
            frame.kind = FrameKind::I;
            frame.ns = uint8_t(c >> 1);
            return frame;
        }
        switch (c) {
            case 0x01: frame.kind = FrameKind::RR; break;
            case 0x05: frame.kind = FrameKind::RNR; break;
            case 0x09: frame.kind = FrameKind::REJ; break;
            default: break;
        }
        return frame;
    }
    frame.pf = (c & 0x10) != 0;
    frame.info_at = 3;
    frame.info_size = size - 3;
    for (UnnumberedCode const& u : unnumbered)
        if ((c & ~0x10) == u.code) frame.kind = u.kind;
    return frame;
}

void BuildI(Octets& out, Address const& a, uint8_t ns, uint8_t nr, bool p, uint8_t const* info,
            size_t size) {
    PutAddress(out, a, true);
    out.push_back(uint8_t((ns & 0x7F) << 1));
    out.push_back(uint8_t((nr & 0x7F) << 1 | (p ? 1 : 0)));
    out.insert(out.end(), info, info + size);
}

void BuildS(Octets& out, Address const& a, FrameKind kind, bool command, uint8_t nr, bool pf) {
    PutAddress(out, a, command);
    out.push_back(SupervisoryCode(kind));
    out.push_back(uint8_t((nr & 0x7F) << 1 | (pf ? 1 : 0)));
}

void BuildU(Octets& out, Address const& a, FrameKind kind, bool command, bool pf) {
    PutAddress(out, a, command);
    uint8_t code = 0x03;
    for (UnnumberedCode const& u : unnumbered)
        if (u.kind == kind) code = u.code;
    out.push_back(uint8_t(code | (pf ? 0x10 : 0)));
}

}  // namespace ISDN
