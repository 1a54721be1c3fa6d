#pragma once
// The settings of one RTP stream, read and checked from the controller's
// create parameters before anything is opened: the addresses and ports of
// the stream and of its RTCP (the port plus one on each side), the payload
// types and the driver's options, the SSRC (a random one when none is
// given) and the IP marking, and whether the stream attaches to another
// process's session instead of a socket of its own. The RTP factories read
// it; the RTP slots open their stream with it.

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <ostream>

#include "messages/lgcp/lgcp.h"

struct RtpSetup {
    // Addresses in network order, ports in host order. Without a local
    // address the sockets take any; without a local port, the remote one.
    in_addr_t local_address = INADDR_ANY;
    uint16_t local_port = 0;
    in_addr_t remote_address = INADDR_ANY;
    uint16_t remote_port = 0;

    int payload = 0;  // the create's codec (TERM::Payload)
    uint16_t rx_pt = 0;
    uint16_t tx_pt = 0;
    uint16_t packet_factor = 0;  // 0: the codec's default
    uint32_t crate = 0;
    bool vad = false;
    uint32_t ssrc = 0;
    uint8_t ttl = 0;  // 0: the system's default
    uint8_t tos = 0;  // the DSCP in the upper six bits

    // only-rtp: the stream is another process's session, named by its
    // descriptor number and process id; no socket is opened.
    bool attach_only = false;
    int32_t attach_fd = -1;
    int32_t attach_pid = -1;
};

// The stream's settings, or nothing with "rtp do not created: " and the
// reason on `err` after the header (a payload outside the table, an address
// that is not dotted IPv4, a remote address that is unspecified or the
// limited broadcast, a port without room for its RTCP port above it,
// a number the driver's record cannot carry).
std::optional<RtpSetup> ReadRtpSetup(LGCP::CreateRtpParams const& params, std::ostream& err,
                                     std::string const& header);

// The payload type of a codec mode: A-law 8, mu-law 0, and for the low bit
// rate the create's own codec when it is one (G.723, G.729, G.728), else
// G.729.
uint16_t PayloadTypeOf(LGCP::CodecMode const& mode, int payload);
