#pragma once
// The requests and the event record of /dev/rtp, the RTP engine. Used by the
// RTP slots, the simulated board's RTP model and the tests.
//
// Every open of the device may hold one session: a DSP channel that plays
// the packets of one RTP stream into a port of the TDM switch and sends that
// port's samples as packets. The server owns the stream's UDP socket and
// attaches it to the session by descriptor number and process id (or names
// another process's socket that way). The channel's switch port belongs to
// the open from its first session to its last close, so a session restarted
// on the same open keeps its port. Each session takes one channel of its
// transmit codec's kind from the counts of /dev/voice (VOICE_COUNT reports
// the free ones), given back when the session ends.
//
// The open's descriptor delivers the session's events as records. The driver
// ends a session by hanging the descriptor up: poll reports POLLHUP or
// POLLRDHUP and reads give 0 bytes; the channel's switch port is free once
// the open is closed. A read of 0 bytes without the hang-up is an empty
// record, which carries nothing (the server drops it with a line). Requests
// fail with -1 and errno: ENOTTY for a request the driver does not know,
// EINVAL for a field out of range, ENOENT when the open holds no session,
// EBUSY for a second session or attachment, ENOSPC when no channel of the
// codec's kind is free, EBADF when the server's own descriptor named for
// attachment is no socket.

#include <cstddef>
#include <cstdint>

#include "hardware/device/record.h"

namespace Device {

// The session's parameters: the open starts its session with them.
inline constexpr uint32_t RTP_OPEN_SESSION = 0x801C5201;  // _IOW('R', 1, 28)
using RtpConnectionRecord = Record<28>;
namespace RtpConnection {
inline constexpr size_t packet_factor = 0;  // u16, frames a packet (0: the codec's default)
inline constexpr size_t rx_pt = 2;          // u16, payload type received
inline constexpr size_t tx_pt = 4;          // u16, payload type sent; then a u16 0
inline constexpr size_t ssrc = 8;
inline constexpr size_t crate = 12;  // codec rate option, as the controller gave it
inline constexpr size_t vad = 16;    // 1: silence suppression on
inline constexpr size_t ttl = 20;    // IP time-to-live, 1 to 255 (0: the system's default)
inline constexpr size_t tos = 24;    // IP type-of-service octet (the DSCP shifted left by 2)
}  // namespace RtpConnection

// {fd_rtp, pid_rtp}: the session sends and receives on that socket.
inline constexpr uint32_t RTP_ATTACH_SESSION = 0x80085202;  // _IOW('R', 2, 8)
using RtpAttachRecord = Record<8>;
namespace RtpAttach {
inline constexpr size_t fd_rtp = 0;   // i32, the socket's descriptor number
inline constexpr size_t pid_rtp = 4;  // i32, in this process
}  // namespace RtpAttach

// {tdm, dev_no, chn} (filled): the session's switch port, its DSP and the
// channel on that DSP.
inline constexpr uint32_t RTP_CHANNEL_INFO = 0x400C5203;  // _IOR('R', 3, 12)
using RtpChannelRecord = Record<12>;
namespace RtpChannel {
inline constexpr size_t tdm = 0;  // i32, the switch port
inline constexpr size_t dev_no = 4;
inline constexpr size_t chn = 8;
}  // namespace RtpChannel

// Value 0: ends the session.
inline constexpr uint32_t RTP_CLOSE_SESSION = 0x20005204;  // _IO('R', 4)

// {timeout in ms}: packet-detection events on.
inline constexpr uint32_t RTP_PD_ENABLE = 0x80045205;  // _IOW('R', 5, 4)
using RtpPdRecord = Record<4>;
// Value 0: packet-detection events off.
inline constexpr uint32_t RTP_PD_DISABLE = 0x20005206;  // _IO('R', 6)

// An event: {type, value, timeout}, then 24 reserved bytes (0).
using RtpEventRecord = Record<36>;
namespace RtpEvent {
inline constexpr size_t type = 0;
inline constexpr size_t value = 4;
inline constexpr size_t timeout = 8;
inline constexpr uint32_t packet_detection = 1;
}  // namespace RtpEvent

}  // namespace Device
