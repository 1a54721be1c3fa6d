// RTP slots of the real server on the simulated board: the session the
// board shows, the RTCP reports a peer on 127.0.0.1 receives, the creates
// declined with nothing left behind, the switch paths to a trunk slot, the
// controller's requests and the driver's events.

#include <dirent.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tests/support/slot_session.h"
#include "tests/support/sockets.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// The ports of one stream on 127.0.0.1: the remote RTP port, whose RTCP
// port above it the peer holds, and the local RTP port.
struct Ports {
    int remote = freeUdpPair();
    UdpPeer rtcp{remote + 1};
    int local = freeUdpPair();
};

std::string create(int seq, int slot, Ports const& p, std::string const& fields = "",
                   std::string const& payload = "ptG729") {
    std::ostringstream s;
    s << "{ seq " << seq << ", slot " << slot
      << ", pdu command : create : rtp : { codecRTP { payload " << payload
      << ", dhost { iaddr \"127.0.0.1\", port " << p.remote
      << " }, shost { iaddr \"127.0.0.1\", port " << p.local << " }" << fields
      << " }, txPayload " << payload << ", rxPayload " << payload << " } }";
    return s.str();
}

std::string answer(int seq, int slot, std::string const& result = "success : NULL") {
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) +
           ", pdu response : " + result + " }";
}

std::string created(int seq, int slot, Ports const& p, std::string const& fields = "",
                    std::string const& payload = "ptG729", int channel = 4096) {
    std::string const ch = std::to_string(channel), s = std::to_string(slot);
    return "> " + create(seq, slot, p, fields, payload) + "\n< " + answer(seq, slot) +
           "\n< { slot " + s + ", pdu signal : transmitter : active : " + ch + " }\n" +
           "< { slot " + s + ", pdu signal : receiver : active : " + ch + " }\n";
}

std::string destroyed(int seq, int slot) {
    return "> { seq " + std::to_string(seq) + ", slot " + std::to_string(slot) +
           ", pdu command : destroy : NULL }\n< " + answer(seq, slot) + "\n";
}

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "%02X %02X %02X %02X", value >> 24, (value >> 16) & 0xFF,
                  (value >> 8) & 0xFF, value & 0xFF);
    return text;
}

// The compound reports of a stream from 127.0.0.1: an empty receiver report
// and the CNAME, then for the goodbye a BYE.
std::string sdes(uint32_t ssrc) {
    return "80 C9 00 01 " + hex32(ssrc) + " 81 CA 00 04 " + hex32(ssrc) +
           " 01 09 31 32 37 2E 30 2E 30 2E 31 00";
}
std::string bye(uint32_t ssrc) { return sdes(ssrc) + " 81 CB 00 01 " + hex32(ssrc); }

// The SSRC of the session on the port, as the board shows it.
uint32_t boardSsrc(std::string const& root) {
    std::string const sessions = boardTool(root, "rtp");
    size_t const at = sessions.find(" ssrc ");
    return at == std::string::npos ? 0 : uint32_t(std::stoul(sessions.substr(at + 6)));
}

size_t openDescriptors(pid_t pid) {
    std::string const path = "/proc/" + std::to_string(pid) + "/fd";
    DIR* const dir = ::opendir(path.c_str());
    size_t n = 0;
    while (dir && ::readdir(dir)) ++n;
    if (dir) ::closedir(dir);
    return n;
}

// Both ports of a stream end can be bound again: nothing holds them.
bool portsFree(int port) { return UdpPeer(port).bound() && UdpPeer(port + 1).bound(); }

}  // namespace

TEST(RtpSlots, OpenASessionOfTheirSettingsAndReportTheStreamOnRtcpUntilDestroyed) {
    struct Case {
        std::string payload;
        std::string fields;
        std::string session;  // after "4096 rtp#N dsp 0 channel 0: "
        uint32_t ssrc;        // 0: a random one
    } const cases[] = {
        {"ptG729", ", pfactor 2, crate 6300, vad TRUE, ssrc 305419896, ttl 9, qos-dscp ef",
         "rx_pt 18 tx_pt 18 pfactor 2 ssrc 305419896 crate 6300 vad 1 ttl 9 tos 184", 0x12345678},
        {"ptG711-Alaw", "", "rx_pt 8 tx_pt 8 pfactor 0 ssrc ... crate 0 vad 0 ttl 0 tos 0", 0},
        {"ptG711mcc-Ulaw", ", ssrc 4294967295, qos-dscp cs7",
         "rx_pt 128 tx_pt 128 pfactor 0 ssrc 4294967295 crate 0 vad 0 ttl 0 tos 224", 0xFFFFFFFF},
        {"ptG728", ", vad FALSE, ssrc 0", "rx_pt 15 tx_pt 15 pfactor 0 ssrc 0 crate 0 vad 0 ttl 0 tos 0",
         0},
    };
    Connected c;
    int open = 0;
    for (Case const& k : cases) {
        SCOPED_TRACE(k.payload + k.fields);
        Ports const p;
        c.run(created(1, 9, p, k.fields, k.payload) + "$ rtp\n= 4096 rtp#" +
              std::to_string(++open) + " dsp 0 channel 0: " + k.session + " socket ... pid " +
              std::to_string(c.server.pid()) + "\n");
        uint32_t const ssrc = k.ssrc ? k.ssrc : boardSsrc(c.server.root());
        EXPECT_EQ(text(p.rtcp.receive()), sdes(ssrc));
        c.run(destroyed(2, 9) + "$ rtp\n= no RTP sessions\n$ mux 4096\n= 4096 off\n");
        EXPECT_EQ(text(p.rtcp.receive()), bye(ssrc));
        EXPECT_TRUE(portsFree(p.local));
    }
}

TEST(RtpSlots, DeclineACreateWithItsLineAndLeaveNothingBehind) {
    struct Case {
        std::string board;
        std::string fields;  // a replacement of the create's codecRTP fields
        std::string line;
    } const cases[] = {
        {"", "payload reserv-1, dhost { iaddr \"127.0.0.1\", port 4000 }", "RTP: rtp do not created: payload 6not found\n"},
        {"", "payload ptG729, dhost { iaddr \"10.0.0\", port 4000 }",
         "RTP: rtp do not created: remote address \"10.0.0\" is no IPv4 address\n"},
        {"", "payload ptG729, dhost { iaddr \"127.0.0.1\", port 65535 }",
         "RTP: rtp do not created: remote port 65535 leaves no room for its RTCP port\n"},
        {"", "payload ptG729, dhost { iaddr \"127.0.0.1\", port 0 }",
         "RTP: rtp do not created: remote port 0 leaves no room for its RTCP port\n"},
        {"", "payload ptG729, dhost { iaddr \"127.0.0.1\", port 4000 }, shost { iaddr \"localhost\", port 4000 }",
         "RTP: rtp do not created: local address \"localhost\" is no IPv4 address\n"},
        {"", "payload ptG729, dhost { iaddr \"127.0.0.1\", port 4000 }, shost { iaddr \"127.0.0.1\", port 65535 }",
         "RTP: rtp do not created: local port 65535 leaves no room for its RTCP port\n"},
        {"", "payload ptG729, dhost { iaddr \"127.0.0.1\", port 4000 }, pfactor 65536",
         "RTP: rtp do not created: packetisation factor 65536 out of range\n"},
        {"fail rtp open ENODEV 1", "",
         "RTP: rtp do not created: device \"/dev/rtp\" open fail: No such device\n"},
        {"fail rtp RTP_OPEN_SESSION EINVAL 1", "",
         "RTP: rtp do not created: RTP_OPEN_SESSION fail: Invalid argument\n"
         "  rtp_connection_params\n  {\n   packet_factor = 0\n   rx_pt = 18\n   tx_pt = 18\n"
         "   ssrc = 7\n  }\n"},
        {"voice count 4 0", "",
         "RTP: rtp do not created: RTP_OPEN_SESSION fail: No space left on device\n"},
        {"fail rtp RTP_ATTACH_SESSION EBADF 1", "",
         "RTP: rtp do not created: RTP_ATTACH_SESSION fail: Bad file descriptor\n"
         "  rtp_attach_session_params\n  {\n   fd_rtp = "},
        {"fail rtp RTP_CHANNEL_INFO EIO 1", "",
         "RTP: rtp do not created: RTP_CHANNEL_INFO fail: Input/output error\n"},
    };
    Connected c;
    Ports const p;
    for (Case const& k : cases) {
        SCOPED_TRACE(k.board + " " + k.fields);
        if (!k.board.empty()) EXPECT_EQ(boardTool(c.server.root(), k.board), "");
        std::string command = create(1, 9, p, ", ssrc 7");
        if (!k.fields.empty()) {
            size_t const from = command.find("payload"), to = command.find(" }, txPayload");
            command.replace(from, to - from, k.fields);
        }
        c.run("> " + command + "\n< " + answer(1, 9, "error : insufficientResources") +
              "\n$ rtp\n= no RTP sessions\n$ mux 4096\n= 4096 off\n");
        EXPECT_TRUE(c.server.errHas(k.line)) << k.line;
        EXPECT_TRUE(portsFree(p.local));
        boardTool(c.server.root(), "voice count 4 32");
    }
    // A port that something holds already: the RTP port, then the RTCP port.
    for (int const offset : {0, 1}) {
        UdpPeer const holder(p.local + offset);
        c.run("> " + create(2, 9, p) + "\n< " + answer(2, 9, "error : insufficientResources") +
              "\n$ rtp\n= no RTP sessions\n");
        EXPECT_TRUE(c.server.errHas(std::string("RTP: rtp do not created: ") +
                                    (offset ? "rtcp" : "rtp") +
                                    " socket bind fail: Address already in use\n"));
    }
    // What was declined left the ports and the channel free for the next.
    c.run(created(3, 9, p, ", ssrc 7") + destroyed(4, 9));
    EXPECT_EQ(text(p.rtcp.receive()), sdes(7));
    EXPECT_EQ(text(p.rtcp.receive()), bye(7));
}

TEST(RtpSlots, ThousandsOfCreatesFailingAfterTheSessionLeakNoDescriptor) {
    Connected c;
    Ports const p;
    c.run(created(1, 9, p) + destroyed(2, 9) + "$ fail rtp RTP_CHANNEL_INFO EIO\n");
    size_t const before = openDescriptors(c.server.pid());
    std::string script;
    for (int seq = 10; seq < 2010; ++seq)
        script += "> " + create(seq, 9, p) + "\n< " +
                  answer(seq, 9, "error : insufficientResources") + "\n";
    c.run(script + "$ fail clear\n");
    EXPECT_EQ(openDescriptors(c.server.pid()), before);
    c.run("> { seq 3, pdu command : query : NULL }\n< { seq 3, pdu response : success : NULL }\n"
          "< { pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 32, ... } }\n" +
          created(4, 9, p));
}
