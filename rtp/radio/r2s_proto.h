#pragma once
// The radio RTP header extension of ED-137 and its R2S keep-alive: the codec
// between the extension's bytes and the radio header and signal-quality
// values of the control link. The ED-137 radio control calls it for every
// extension it sends and every one it receives; it holds no state.
//
// The extension, big-endian, as it follows the fixed RTP header, in one of
// two layouts chosen by its profile. The later layout (profile 0x0167):
//
//    0                   1                   2                   3
//    0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//   +-------------------------------+-------------------------------+
//   |        profile 0x0167         |  length (32-bit words after)  |
//   +-----+-+-----------+-+-+-+---+-+-------------------------------+
//   | PTT |S|  PTT-id   |P|P|S|   |X|  additional features, then    |
//   | type|Q|           |M|T|C|   | |  zero padding to a word       |
//   |     |U|           | |S|T|   | |                               |
//   +-----+-+-----------+-+-+-+---+-+-------------------------------+
//
// PTT type: 0 off, 1 normal, 2 coupling, 3 priority, 4 emergency (5 to 7
// reserved). PM: PTT mute; PTTS: PTT summation; SCT: simultaneous call
// transmission. X set: additional-feature blocks follow, each a type (high
// 4 bits) and a length in octets (low 4 bits) and that many octets; a zero
// octet ends them. Type 1 is the signal-quality block of one octet: the BSS
// quality index (0 to 31) in the high 5 bits and the method (0 RSSI, 1 AGC,
// 2 C/N, 3 PSD) in the low 3 bits. Blocks of other types are passed over.
//
// The first layout (profile 0x0067) is one 32-bit word, with its one
// additional feature inside it; it has no PM and no PTTS:
//
//    0                   1                   2                   3
//    0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
//   +-------------------------------+-------------------------------+
//   |        profile 0x0067         |         length 1              |
//   +-----+-+-------+-+-+-------+-------+-------------------------+-+
//   | PTT |S|PTT-id |S|X|feature|feature|  feature value          |V|
//   | type|Q|       |C| | type  |length |                         |F|
//   |     |U|       |T| |       |       |                         | |
//   +-----+-+-------+-+-+-------+-------+-------------------------+-+
//
// (bits 31-29, 28, 27-24, 23, 22, 21-18, 17-14, 13-1 and 0 of the word).
// X set: the feature is there. The signal-quality feature is type 1, length
// 1, its BSS quality index in bits 13-6 and its method in bits 5-3 of the
// word (bits 2-1 and VF 0). Features of other types are passed over.
//
// The R2S keep-alive is an RTP packet of payload type 123 that carries this
// extension and no voice.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "messages/term/term.h"

namespace r2s_proto {

// The profile value of the first and of the second extension version (rtphe
// 0 and 1).
inline constexpr uint16_t profile_v0 = 0x0067;
inline constexpr uint16_t profile_v1 = 0x0167;
// Payload type of the R2S keep-alive (TERM::Payload ptR2S).
inline constexpr unsigned ptR2S = 123;
inline constexpr unsigned max_ptt_id = 63;
inline constexpr unsigned max_ptt_id_v0 = 15;
inline constexpr unsigned max_bss_quality = 31;
inline constexpr uint8_t feature_sqi = 1;

struct Encoded {
    std::vector<uint8_t> bytes;  // the whole extension; empty after a fault
    std::string fault;           // why it was refused; empty when encoded
};

// The extension of the header and, when given, its signal-quality block.
// The layout is the profile's. A value that its wire field cannot hold
// (PTT-id above 63, or above 15 in the first layout, PTT mute or summation
// in the first layout, quality above 31, a PTT type or method unknown) is
// refused, never cut to fit.
Encoded encode(uint16_t profile, TERM::ED137RadioHeader const& header,
               TERM::ED137RadioExtensionSQI const* sqi);

struct Decoded {
    TERM::ED137RadioStatus status;  // header, and sqi when the block came
    std::string fault;              // why it was dropped; empty when decoded
};

// One received extension of `size` bytes, in the layout of its profile.
// An extension shorter than its headers, whose length field or a block runs
// past the bytes, of another profile, or with a reserved PTT type or method
// is refused; nothing is read outside [data, data + size).
Decoded decode(uint8_t const* data, size_t size);

}  // namespace r2s_proto
