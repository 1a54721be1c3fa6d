#pragma once
// The RTP engine's driver, /dev/rtp: its request numbers and record layouts,
// used by the RTP slots, the simulated board and the tests alike.
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
// The open's descriptor delivers the session's events as 36-byte rtp_event
// records. Requests fail with -1 and errno: ENOTTY for a request the driver
// does not know, EINVAL for a field out of range, ENOENT when the open holds
// no session, EBUSY for a second session or attachment, ENOSPC when no
// channel of the codec's kind is free, EBADF when the server's own
// descriptor named for attachment is no socket.

#include <cstddef>
#include <cstdint>

namespace RtpDriver {

// Session parameters, 28 bytes:
//   0 u16 packet_factor  frames a packet (0: the codec's default)
//   2 u16 rx_pt          payload type received
//   4 u16 tx_pt          payload type sent
//   6 u16                0
//   8 u32 ssrc
//  12 u32 crate          codec rate option, as the controller gave it
//  16 u32 vad            1: silence suppression on
//  20 u32 ttl            IP time-to-live, 1 to 255 (0: the system's default)
//  24 u32 tos            IP type-of-service octet (the DSCP shifted left by 2)
constexpr size_t connection_params_size = 28;
namespace ConnectionParams {
constexpr size_t packet_factor = 0, rx_pt = 2, tx_pt = 4, ssrc = 8, crate = 12, vad = 16,
                 ttl = 20, tos = 24;
}

// Attachment of a UDP socket: 0 i32 fd_rtp, 4 i32 pid_rtp.
constexpr size_t attach_session_params_size = 8;

// The session's DSP channel: 0 i32 tdm (the switch port), 4 i32 dev_no (the
// DSP), 8 i32 chn (the channel on that DSP).
constexpr size_t channel_info_size = 12;

// Packet detection: 0 u32 timeout in milliseconds.
constexpr size_t pd_params_size = 4;

// An event: 0 u32 type, 4 u32 value, 8 u32 timeout, 24 bytes reserved (0).
constexpr size_t event_size = 36;
constexpr uint32_t event_packet_detection = 1;

enum : uint32_t {
    // _IOW('R', 1, 28): starts the open's session with the parameters.
    RTP_OPEN_SESSION = 0x801C5201,
    // _IOW('R', 2, 8): the session sends and receives on the socket.
    RTP_ATTACH_SESSION = 0x80085202,
    // _IOR('R', 3, 12): fills the channel record.
    RTP_CHANNEL_INFO = 0x400C5203,
    // _IO('R', 4), value 0: ends the session.
    RTP_CLOSE_SESSION = 0x20005204,
    // _IOW('R', 5, 4): packet-detection events on, with their timeout.
    RTP_PD_ENABLE = 0x80045205,
    // _IO('R', 6), value 0: packet-detection events off.
    RTP_PD_DISABLE = 0x20005206,
};

}  // namespace RtpDriver
