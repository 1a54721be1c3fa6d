#pragma once
// The requests and the signalling records of /dev/rtp_ext, the radio
// signalling beside an RTP stream of a radio channel. Used by the radio
// slots and controls, the simulated board's model and the tests.
//
// Each open is one extended session: RTP_EXT_INIT gives it its kind once
// (Kvel radio records or ED-137 RTP header extensions), RTP_EXT_ATTACH binds
// it to the UDP socket of the stream's RTP session, and RTP_EXT_START and
// RTP_EXT_STOP start and stop the radio stream. Requests fail with -1 and
// errno: ENOTTY for a request the driver does not know, EINVAL for a kind
// it does not know or a session not yet initialised, EBUSY for a second
// initialisation.
//
// Signalling moves as records, one per read or write: a 4-byte header
// {kind u16, length u16} and `length` bytes of data, big-endian.
//   kind 1 ed137-voice      read: the header extension of a received voice
//                           packet; write: the extension the driver puts on
//                           every voice packet it sends from now on
//   kind 2 ed137-keepalive  read: the extension of a received R2S keep-alive
//                           (payload type 123); write: send one keep-alive
//                           now with this extension
//   kind 3 kvel             read: a Kvel radio status record; write: a Kvel
//                           radio command record (layouts: rtp/radio/sig_proto.h)
//   kind 4 failure          read only: u32 cause; the radio has failed
// An ED-137 record holds the whole header extension as on the network, its
// 4-byte profile header included (rtp/radio/r2s_proto.h). Signalling is
// delivered and sent only while the radio stream runs.
//
// The driver ends a session by hanging the descriptor up, as /dev/rtp does
// (poll reports POLLHUP or POLLRDHUP, reads give 0 bytes); a read of 0
// bytes without the hang-up is an empty record, dropped by the server.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"
#include "hardware/device/rtp_driver.h"

namespace Device {

// {etype u16, 0 u16}: the session's kind.
inline constexpr uint32_t RTP_EXT_INIT = 0x80047800;  // _IOW('x', 0, 4)
using RtpExtInitRecord = Record<4>;
namespace RtpExtInit {
inline constexpr size_t etype = 0;
inline constexpr uint16_t kvel = 1;
inline constexpr uint16_t ed137 = 2;
}  // namespace RtpExtInit

// {fd_rtp, pid_rtp}: the RTP session's socket, as a descriptor number of a
// process; laid out as RTP_ATTACH_SESSION's record (RtpAttach offsets).
inline constexpr uint32_t RTP_EXT_ATTACH = 0x80087801;  // _IOW('x', 1, 8)
using RtpExtAttachRecord = RtpAttachRecord;

// Value 0: the radio stream starts, or stops.
inline constexpr uint32_t RTP_EXT_START = 0x20007802;  // _IO('x', 2)
inline constexpr uint32_t RTP_EXT_STOP = 0x20007803;   // _IO('x', 3)

namespace RtpExtSignal {
inline constexpr uint16_t ed137_voice = 1;
inline constexpr uint16_t ed137_keepalive = 2;
inline constexpr uint16_t kvel = 3;
inline constexpr uint16_t failure = 4;

inline constexpr size_t kind_at = 0;    // u16
inline constexpr size_t length_at = 2;  // u16, bytes of data after the header
inline constexpr size_t header_size = 4;
// The most data one record carries.
inline constexpr size_t max_data = 1024;
inline constexpr size_t max_record = header_size + max_data;

inline void putHeader(uint8_t* at, uint16_t kind, uint16_t length) {
    put16(at + kind_at, kind);
    put16(at + length_at, length);
}
inline uint16_t kindOf(uint8_t const* record) { return get16(record + kind_at); }
inline uint16_t lengthOf(uint8_t const* record) { return get16(record + length_at); }
}  // namespace RtpExtSignal

}  // namespace Device
