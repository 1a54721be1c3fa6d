#pragma once
// The Kvel radio records on the extended RTP driver (kind 3 of
// hardware/device/rtp_ext_driver.h): the codec between the control link's
// Kvel radio commands and statuses and the driver's bytes. The Kvel radio
// control calls it; it holds no state.
//
// Every number is big-endian. Building blocks:
//   text       u8 length (0 to 255), then that many characters
//   flags      i32 prio; u16 bits (bit 0 ptt, 1 bss, 2 vad-rx, 3 vad-tx,
//              4 sql, 5 sh, 6 pwr, 7 rv, 8 resv; the others 0); u8 selcall
//              (0 to 3); u8 0; u16 li (0 to 511); u16 0            12 bytes
//   frequency  i32 channel; text frequency
//   remote     u8 no; u8 ch
//   squelch    u8: 0 no-config, 1 off, 2 on
//   rte        u8: 0 no-config, 1 n0n, 2 a1b, 3 f1b, 4 g1b, 5 h3e, 6 r3e, 7 j3e
//   standby    u8: 0 active, 1 standby
//
// A command record (server to driver):
//   u8 command; u8 0; u16 0; u32 session SSRC; text session address;
//   then by command:
//    0 gw-set-flags    flags          10 gw-set-squelshe  squelch
//    1 gw-set-freq     frequency      11 gw-set-rte       rte
//    2 gw-set-ptt      flags          12 gw-set-standby   standby
//    3 gw-set-bss      flags          13 wm-flags         flags
//    4 gw-set-sh       flags          14 wm-trans         flags, text ip, u32 ssrc
//    5 gw-set-pwr      flags          15 wm-quality       text bss-val
//    6 gw-set-rv       flags          16 wm-chan          frequency, squelch, rte
//    7 gw-set-resv     flags          17 wm-selcall       flags, text ip, u32 ssrc,
//    8 gw-set-selcall  flags, text ip,                     text cid
//                      u32 ssrc, text cid                  18 wm-remote  remote
//    9 gw-set-remote   remote         19 wm-standby       standby channel, u8 group,
//                                                          standby receiver
//
// A status record (driver to server): flags; frequency; remote; squelch;
// rte; standby channel; u8 standby group; standby receiver.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "messages/term/term.h"

namespace sig_proto {

inline constexpr size_t max_text = 255;

struct Encoded {
    std::vector<uint8_t> bytes;  // the record; empty after a fault
    std::string fault;           // why it was refused; empty when encoded
};

// The command record. A value that its field cannot hold (a text longer
// than 255, selcall above 3, li above 511, an enumeration without a code,
// no command chosen) refuses the whole command.
Encoded encodeCommand(TERM::KvelRadioModifier const& command);

struct Decoded {
    TERM::KvelRadioStatus status;
    std::string fault;  // why it was dropped; empty when decoded
};

// A status record of exactly `size` bytes: one that ends inside a field, a
// text whose length runs past the record, bytes left over or a value
// outside its field's codes is refused; nothing is read outside the record.
Decoded decodeStatus(uint8_t const* data, size_t size);

}  // namespace sig_proto
