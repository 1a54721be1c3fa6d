#pragma once
// LAPD frames as the D channel carries them between the opening and closing
// flags, without the frame check sequence: two address octets (SAPI with the
// C/R bit, TEI), a control field of one octet (unnumbered frames) or two
// (I-frames and supervisory frames), then the information field. The link
// (lapd.h) builds every frame it sends here and parses every frame it gets.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ISDN {

using Octets = std::vector<uint8_t>;

// Which end of the link the entity is. The network side sends its commands
// with C/R 1 and its responses with C/R 0; the user side the other way round.
enum class Side : uint8_t { user, network };

enum class FrameKind : uint8_t {
    invalid,  // too short for its control field, or a control field no frame has
    I,
    RR,
    RNR,
    REJ,
    SABME,
    DM,
    UI,
    DISC,
    UA,
    FRMR,
    XID,
};

char const* NameOf(FrameKind kind);

struct Frame {
    FrameKind kind = FrameKind::invalid;
    // The address was read: at least three octets, the address two long.
    bool addressed = false;
    // An I-frame or supervisory frame that ends in its control field.
    bool truncated = false;
    uint8_t sapi = 0;
    uint8_t tei = 0;
    bool command = false;  // as the receiving side reads the C/R bit
    bool pf = false;       // poll (command) or final (response) bit
    uint8_t ns = 0;        // I-frames
    uint8_t nr = 0;        // I-frames and supervisory frames
    // The information field: where it starts in the octets given to Parse,
    // and its length.
    size_t info_at = 0;
    size_t info_size = 0;
};

// Reads a frame received by an entity on `side`; kind `invalid` when the
// octets are shorter than the address and control field, the address is not
// two octets long, or the control field names no frame. Nothing is read past
// `size`.
Frame Parse(Side side, uint8_t const* octets, size_t size);

// Fills `out` with a frame that an entity on `side` sends: the address and
// control field, followed by `info` for an I-frame (always a command).
// `command` chooses the C/R bit of the others.
struct Address {
    Side side;
    uint8_t sapi;
    uint8_t tei;
};
void BuildI(Octets& out, Address const& a, uint8_t ns, uint8_t nr, bool p, uint8_t const* info,
            size_t size);
void BuildS(Octets& out, Address const& a, FrameKind kind, bool command, uint8_t nr, bool pf);
void BuildU(Octets& out, Address const& a, FrameKind kind, bool command, bool pf);

}  // namespace ISDN
