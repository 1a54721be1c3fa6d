// The settings of an RTP stream as read and checked from the controller's
// create parameters, before anything is opened.

#include "rtp/rtp_setup.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

LGCP::CreateRtpParams params(std::string const& fields) {
    LGCP::CreateRtpParams p;
    EXPECT_TRUE(p.setFromValueNotation("{ codecRTP { " + fields +
                                       " }, txPayload ptG729, rxPayload ptG729 }"))
        << fields;
    return p;
}

std::string address(in_addr_t a) {
    in_addr const in{a};
    return inet_ntoa(in);
}

// The settings in one line, or the refusal.
std::string read(std::string const& fields) {
    std::ostringstream err;
    std::optional<RtpSetup> const s = ReadRtpSetup(params(fields), err, "RTP: ");
    if (!s) return err.str();
    std::ostringstream out;
    out << address(s->local_address) << ':' << s->local_port << " -> " << address(s->remote_address)
        << ':' << s->remote_port << " pt " << s->rx_pt << '/' << s->tx_pt << " pf "
        << s->packet_factor << " crate " << s->crate << " vad " << s->vad << " ttl " << int(s->ttl)
        << " tos " << int(s->tos);
    if (s->attach_only) out << " attach " << s->attach_fd << '/' << s->attach_pid;
    return out.str();
}

}  // namespace

TEST(RtpSetupRead, TakesTheFieldsTheDriverAndTheSocketsNeedAndRefusesWhatTheyCannotCarry) {
    std::string const to = "dhost { iaddr \"10.0.0.2\", port 4000 }";
    struct Case {
        std::string fields;
        std::string read;
    } const cases[] = {
        {"payload ptG729, " + to,
         "0.0.0.0:4000 -> 10.0.0.2:4000 pt 18/18 pf 0 crate 0 vad 0 ttl 0 tos 0"},
        {"payload ptG711-Ulaw, " + to +
             ", shost { iaddr \"192.168.1.9\", port 65534 }, pfactor 65535, crate 8000, "
             "vad TRUE, ttl 255, qos-dscp af41",
         "192.168.1.9:65534 -> 10.0.0.2:4000 pt 0/0 pf 65535 crate 8000 vad 1 ttl 255 tos 136"},
        {"payload ptG723, " + to +
             ", rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 7, pid 1234 } }",
         "0.0.0.0:4000 -> 10.0.0.2:4000 pt 4/4 pf 0 crate 0 vad 0 ttl 0 tos 0 attach 7/1234"},
        {"payload ptG723, " + to +
             ", rtp-e2m { slot 1, channel 2, mode both-rtp-and-rtp-ext : NULL }",
         "0.0.0.0:4000 -> 10.0.0.2:4000 pt 4/4 pf 0 crate 0 vad 0 ttl 0 tos 0"},
        {"payload ptT38-UDP-TL, " + to, "RTP: rtp do not created: payload 11not found\n"},
        {"payload ptG729, dhost { iaddr \"10.0.0.256\", port 4000 }",
         "RTP: rtp do not created: remote address \"10.0.0.256\" is no IPv4 address\n"},
        {"payload ptG729, dhost { iaddr \" 10.0.0.2\", port 4000 }",
         "RTP: rtp do not created: remote address \" 10.0.0.2\" is no IPv4 address\n"},
        {"payload ptG729, dhost { iaddr \"10.0.0.2\", port 65535 }",
         "RTP: rtp do not created: remote port 65535 leaves no room for its RTCP port\n"},
        {"payload ptG729, " + to + ", shost { iaddr \"10.0.0.1\", port 0 }",
         "RTP: rtp do not created: local port 0 leaves no room for its RTCP port\n"},
        {"payload ptG729, " + to + ", pfactor -1",
         "RTP: rtp do not created: packetisation factor -1 out of range\n"},
        {"payload ptG729, " + to + ", crate -8000",
         "RTP: rtp do not created: crate -8000 out of range\n"},
        {"payload ptG729, " + to +
             ", rtp-e2m { slot 1, channel 2, mode only-rtp : { fd -1, pid 1234 } }",
         "RTP: rtp do not created: only-rtp fd -1 out of range\n"},
        {"payload ptG729, " + to +
             ", rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 3, pid 0 } }",
         "RTP: rtp do not created: only-rtp pid 0 out of range\n"},
    };
    for (Case const& c : cases) EXPECT_EQ(read(c.fields), c.read) << c.fields;
}
