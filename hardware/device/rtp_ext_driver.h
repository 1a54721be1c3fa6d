#pragma once
// The extended RTP driver of /dev/rtp_ext: the radio signalling that travels
// beside an RTP stream of a radio channel. Each open is one extended session;
// RTP_EXT_INIT gives it its kind (Kvel radio packets or ED-137 RTP header
// extensions), RTP_EXT_ATTACH binds it to the RTP session of the stream, and
// RTP_EXT_START / RTP_EXT_STOP start and stop the radio stream. The radio
// controls, the simulated board and the tests use these numbers and layouts.
//
// Signalling moves as records, one per read or write, each a 4-byte header
// {kind u16, length u16} and `length` bytes of data, big-endian:
//
//   kind 1 ed137-voice      read: the header extension of a received voice
//                           packet; write: the extension the driver puts on
//                           every voice packet it sends from now on
//   kind 2 ed137-keepalive  read: the extension of a received R2S keep-alive
//                           (payload type 123); write: send one keep-alive now
//                           with this extension
//   kind 3 kvel             read: a Kvel radio status record; write: a Kvel
//                           radio command record (the layouts: rtp/sig_proto.h)
//   kind 4 failure          read only: u32 cause; the radio has failed
//
// The ED-137 data is the whole RTP header extension as on the network, its
// 4-byte profile header included (rtp/r2s_proto.h).

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace RtpExt {

// rtp_ext_init_params: {etype u16, reserved u16}.
inline constexpr uint32_t RTP_EXT_INIT = 0x80047800;
// rtp_ext_attach_session_params: {fd_rtp i32, pid_rtp i32}, the RTP
// session's socket as a descriptor number of a process.
inline constexpr uint32_t RTP_EXT_ATTACH = 0x80087801;
inline constexpr uint32_t RTP_EXT_START = 0x20007802;
inline constexpr uint32_t RTP_EXT_STOP = 0x20007803;

using InitRecord = Device::Record<4>;
using AttachRecord = Device::Record<8>;

// Kinds of extended session (etype).
enum Etype : uint16_t {
    etype_kvel = 1,
    etype_ed137 = 2,
};

// Kinds of signalling record.
enum Kind : uint16_t {
    kind_ed137_voice = 1,
    kind_ed137_keepalive = 2,
    kind_kvel = 3,
    kind_failure = 4,
};

inline constexpr size_t header_size = 4;
// The most data one record carries.
inline constexpr size_t max_data = 1024;
inline constexpr size_t max_record = header_size + max_data;

inline void putHeader(uint8_t* at, uint16_t kind, uint16_t length) {
    Device::put16(at, kind);
    Device::put16(at + 2, length);
}

}  // namespace RtpExt
