// RTP slots of the real server on the simulated board: the session the
// board shows, the RTCP reports a peer on 127.0.0.1 receives, the creates
// declined with nothing left behind, the switch paths to a trunk slot, the
// controller's requests and the driver's events.

#include <dirent.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/dissector.h"
#include "tests/support/slot_session.h"
#include "tests/support/sockets.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string create(int seq, int slot, StreamPorts const& p, std::string const& fields = "",
                   std::string const& payload = "ptG729") {
    std::ostringstream s;
    s << "{ seq " << seq << ", slot " << slot
      << ", pdu command : create : rtp : { codecRTP { payload " << payload
      << ", dhost { iaddr \"127.0.0.1\", port " << p.remote
      << " }, shost { iaddr \"127.0.0.1\", port " << p.local << " }" << fields << " }, txPayload "
      << payload << ", rxPayload " << payload << " } }";
    return s.str();
}

std::string answer(int seq, int slot, std::string const& result = "success : NULL") {
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) +
           ", pdu response : " + result + " }";
}

std::string created(int seq, int slot, StreamPorts const& p, std::string const& fields = "",
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
    return text({uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)});
}

// The compound reports of a stream from 127.0.0.1: an empty receiver report
// and the CNAME, then for the goodbye a BYE.
std::string sdes(uint32_t ssrc) {
    return "80 C9 00 01 " + hex32(ssrc) + " 81 CA 00 04 " + hex32(ssrc) +
           " 01 09 31 32 37 2E 30 2E 30 2E 31 00";
}
std::string bye(uint32_t ssrc) {
    return sdes(ssrc) + " 81 CB 00 01 " + hex32(ssrc);
}

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
bool portsFree(int port) {
    return UdpPeer(port).bound() && UdpPeer(port + 1).bound();
}

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
        {"ptG728", ", vad FALSE, ssrc 0",
         "rx_pt 15 tx_pt 15 pfactor 0 ssrc 0 crate 0 vad 0 ttl 0 tos 0", 0},
    };
    Connected c;
    int open = 0;
    std::vector<Bytes> sent;
    std::vector<std::vector<std::string>> read;  // as Wireshark should read them
    for (Case const& k : cases) {
        SCOPED_TRACE(k.payload + k.fields);
        StreamPorts const p;
        c.run(created(1, 9, p, k.fields, k.payload) + "$ rtp\n= 4096 rtp#" +
              std::to_string(++open) + " dsp 0 channel 0: " + k.session + " socket ... pid " +
              std::to_string(c.server.pid()) + "\n");
        uint32_t const ssrc = k.ssrc ? k.ssrc : boardSsrc(c.server.root());
        sent.push_back(p.rtcp.receive());
        EXPECT_EQ(text(sent.back()), sdes(ssrc));
        c.run(destroyed(2, 9) + "$ rtp\n= no RTP sessions\n$ mux 4096\n= 4096 off\n");
        sent.push_back(p.rtcp.receive());
        EXPECT_EQ(text(sent.back()), bye(ssrc));
        EXPECT_TRUE(portsFree(p.local));
        char id[16];
        std::snprintf(id, sizeof(id), "0x%08x", ssrc);
        read.push_back({"201,202", "1,4", id, "127.0.0.1", ""});
        read.push_back({"201,202,203", "1,4,1", id, "127.0.0.1", ""});
    }
    std::vector<Bytes> frames;
    for (Bytes const& packet : sent) frames.push_back(udpPacket(5007, 5007, packet));
    Dissection const d =
        dissect(LinkType::ipv4, frames,
                {"rtcp.pt", "rtcp.length", "rtcp.senderssrc", "rtcp.sdes.text", "_ws.malformed"},
                {"-d", "udp.port==5007,rtcp"});
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.rows, read);
}

TEST(RtpSlots, DeclineACreateWithItsLineAndLeaveNothingBehind) {
    Connected c;
    std::string const to = "payload ptG729, dhost { iaddr \"127.0.0.1\", port 4000 }";
    std::string const only = to + ", rtp-e2m { slot 1, channel 2, mode only-rtp : { ";
    struct Case {
        std::string board;
        std::string fields;  // a replacement of the create's codecRTP fields
        std::string line;
    } const cases[] = {
        {"", "payload ptG729, dhost { iaddr \"10.0.0\", port 4000 }",
         "RTP: rtp do not created: remote address \"10.0.0\" is no IPv4 address\n"},
        {"", "payload ptG729, dhost { iaddr \"0.0.0.0\", port 4000 }",
         "RTP: rtp do not created: remote address \"0.0.0.0\" is no address to send to\n"},
        {"", "payload ptG729, dhost { iaddr \"127.0.0.1\", port 65535 }",
         "RTP: rtp do not created: remote port 65535 leaves no room for its RTCP port\n"},
        {"", to + ", shost { iaddr \"localhost\", port 4000 }",
         "RTP: rtp do not created: local address \"localhost\" is no IPv4 address\n"},
        {"", to + ", shost { iaddr \"127.0.0.1\", port 65535 }",
         "RTP: rtp do not created: local port 65535 leaves no room for its RTCP port\n"},
        {"", to + ", pfactor 65536",
         "RTP: rtp do not created: packetisation factor 65536 out of range\n"},
        {"", to + ", crate -8000", "RTP: rtp do not created: crate -8000 out of range\n"},
        {"", only + "fd -1, pid 9 } }", "RTP: rtp do not created: only-rtp fd -1 out of range\n"},
        {"", only + "fd 3, pid 0 } }", "RTP: rtp do not created: only-rtp pid 0 out of range\n"},
        {"fail rtp open ENODEV 1", "",
         "RTP: rtp do not created: device \"/dev/rtp\" open fail: No such device\n"},
        {"fail rtp RTP_OPEN_SESSION EINVAL 1", "",
         "RTP: rtp do not created: RTP_OPEN_SESSION fail: Invalid argument\n"
         "  rtp_connection_params\n  {\n   packet_factor = 0\n   rx_pt = 18\n   tx_pt = 18\n"
         "   ssrc = 7\n  }\n"},
        {"voice count 4 0", "",
         "RTP: rtp do not created: RTP_OPEN_SESSION fail: No space left on device\n"},
        // Its own descriptor that is no socket, as the board checks it.
        {"", only + "fd 0, pid " + std::to_string(c.server.pid()) + " } }",
         "RTP: rtp do not created: RTP_ATTACH_SESSION fail: Bad file descriptor\n"
         "  rtp_attach_session_params\n  {\n   fd_rtp = "},
    };
    StreamPorts const p;
    for (Case const& k : cases) {
        SCOPED_TRACE(k.board + " " + k.fields);
        if (!k.board.empty()) {
            EXPECT_EQ(boardTool(c.server.root(), k.board), "");
        }
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
    // Thousands of creates failing after the session leak no descriptor.
    c.run("$ fail rtp RTP_CHANNEL_INFO EIO\n");
    size_t const before = openDescriptors(c.server.pid());
    std::string script;
    for (int seq = 10; seq < 2010; ++seq)
        script += "> " + create(seq, 9, p) + "\n< " +
                  answer(seq, 9, "error : insufficientResources") + "\n";
    c.run(script + "$ fail clear\n");
    EXPECT_EQ(openDescriptors(c.server.pid()), before);
    // No create that was declined sent a request for a timeslot it never had.
    EXPECT_EQ(occurrences(boardLog(c.server.root(), ""), "4294967295"), 0u);
    EXPECT_EQ(occurrences(c.server.err(), "4294967295"), 0u);
    c.run(
        "> { seq 3, pdu command : query : NULL }\n< { seq 3, pdu response : success : NULL }\n"
        "< { pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 32, ... } }\n" +
        created(5, 9, p));
}

TEST(RtpSlots, CarryBothPathsToATrunkSlotAndLeaveTheOthersOutputIdleWhenEitherGoes) {
    Connected c;
    StreamPorts const p;
    std::string const connect_both = answered(R"(
        + { seq 3, slot 9, pdu command : connect : 1 }
        + { seq 4, slot 1, pdu command : connect : 9 }
        $ mux 37
        = 37 <- 4096
        $ mux 4096
        = 4096 <- 37
    )");
    std::string const trunk = answered(R"(
        + { seq 2, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }
        < { slot 1, pdu signal : transmitter : active : 37 }
        < { slot 1, pdu signal : receiver : active : 37 }
    )");
    c.run(created(1, 9, p) + trunk + connect_both + destroyed(5, 9) + R"(
        $ mux 4096
        = 4096 off
        $ mux 37
        = 37 = 0xd5
    )");
    c.run(created(6, 9, p) + connect_both + destroyed(7, 1) + R"(
        $ mux 4096
        = 4096 = 0xd5
        $ rtp
        = 4096 rtp#2 ...
    )" + destroyed(8, 9) +
          "$ mux 4096\n= 4096 off\n");
}

TEST(RtpSlots, TakeTheReceiversRequestsAndPacketDetectionAndRefuseTheRest) {
    Connected c;
    StreamPorts const p;
    c.run(created(1, 9, p) + answered(R"(
        + { seq 2, slot 9, pdu command : ioctl : dtmf-enable : TRUE }
        $ dtmf detect 4096 5 at 100
        < { slot 9, pdu signal : tonec : { timestamp 100, event dtmf : 5 } }
        + { seq 3, slot 9, pdu command : ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 } }, toneDuration 40, pauseDuration 40 } }
        + { seq 4, slot 9, pdu command : ioctl : vad-enable : TRUE }
        $ dsp vad 4096 1 -
        < { slot 9, pdu signal : vad : { vad-rx TRUE } }
        + { seq 5, slot 9, pdu command : ioctl : sd-enable : TRUE }
        $ dsp sd 4096 1
        < { slot 9, pdu signal : sd : { sd-rx TRUE } }
        + { seq 6, slot 9, pdu command : ioctl : pd-enable : { timeout 300 } }
        $ rtp
        = 4096 ... pd 300
        $ rtp pd 4096 7 300
        < { slot 9, pdu signal : rtp : pd : { value 7, timeout 300 } }
        $ rtp event 4096 2 7 300
        > { seq 30, slot 9, pdu command : ioctl : pd-enable : { timeout -5 } }
        < { seq 30, slot 9, pdu response : error : unsupported }
        $ rtp
        = 4096 ... pd 300
        $ rtp pd 4096 4294967295 2147483648
        $ rtp pd 4096 2147483647 0
        < { slot 9, pdu signal : rtp : pd : { value 2147483647, timeout 0 } }
        + { seq 7, slot 9, pdu command : ioctl : pd-disable : NULL }
        + { seq 8, slot 9, pdu command : ioctl : echoSuppressor : TRUE }
        + { seq 9, slot 9, pdu command : ioctl : dtmf-reject-enable : TRUE }
        + { seq 10, slot 9, pdu command : ioctl : rx-gain : { gainDB -6 } }
        + { seq 11, slot 9, pdu command : ioctl : activateWaitTone : NULL }
        + { seq 12, slot 9, pdu command : ioctl : deactivateWaitTone : NULL }
        + { seq 13, slot 9, pdu command : ioctl : vad-disable : NULL }
        + { seq 14, slot 9, pdu command : ioctl : sd-disable : NULL }
        + { seq 15, slot 9, pdu command : ioctl : tone-filter : { freq 2100, enable TRUE, duration-th-msec 50, det-level-dB -20 } }
        $ dsp tone 4096 2100 1
        < { slot 9, pdu signal : tonec : { timestamp 0, event tone-presence : { freq 2100, presence TRUE } } }
        + { seq 16, slot 9, pdu command : ioctl : selcal : { signs "AB" } }
        $ dtmf 4096
        = 4096 detector on id 1 lms on rejection on iva off generator 0 0 0 0
        $ dsp 4096
        = 4096 vad off 1 sd off 2 bss off 0 ng off 0 mute off delays 0 0 0 gain -6 filter 2100 1 50 -20
        ~ 100
    )"));
    std::string const sessions = boardTool(c.server.root(), "rtp");
    EXPECT_EQ(sessions.find(" pd "), std::string::npos) << sessions;
    EXPECT_EQ(boardTool(c.server.root(), "dtmf dial 4096").substr(0, 20), "+0 697 1209 16384 16");
    EXPECT_TRUE(c.server.errHas("rtp[4096]: rtp event:  type=1\n"));
    EXPECT_TRUE(c.server.errHas("rtp[4096]: rtp event:  type=2\n"));
    EXPECT_TRUE(c.server.errHas("rtp[4096]: pd-enable timeout -5 is negative\n"));
    EXPECT_TRUE(c.server.errHas(
        "rtp[4096]: rtp event dropped: value 4294967295 timeout 2147483648 above 2147483647\n"));

    char const* const refused[] = {
        "ioctl : dtmf-disable : NULL",
        "ioctl : mute-enable : { rx TRUE }",
        "ioctl : delays : { rx 10 }",
        "ioctl : activateRecord : { iaddr \"127.0.0.1\", port 9 }",
        "activate : empty : NULL",
        "deactivate : NULL",
        "userData : '01'H",
    };
    int seq = 20;
    for (char const* command : refused) {
        SCOPED_TRACE(command);
        std::string const s = std::to_string(++seq);
        c.run("> { seq " + s + ", slot 9, pdu command : " + command + " }\n< " +
              answer(seq, 9, "error : unsupported") + "\n");
    }
}

// A codec change restarts the session only when the payload type changes;
// a restart that fails leaves the stream on the codec it had.
TEST(RtpSlots, RestartTheSessionWhenADirectionsCodecChanges) {
    Connected c;
    StreamPorts const p;
    auto const restarts = [&] {
        return occurrences(boardLog(c.server.root(), "rtp RTP_CLOSE_SESSION"), "\n");
    };
    auto const mode = [](int seq, char const* which, char const* codec,
                         char const* result = "success : NULL") {
        std::string const s = std::to_string(seq);
        return "> { seq " + s + ", slot 9, pdu command : ioctl : " + which + " : " + codec +
               " }\n< " + answer(seq, 9, result) + "\n";
    };
    struct Step {
        std::string command;
        std::string session;  // "rx_pt R tx_pt T"
        size_t restarts;
    } const steps[] = {
        {mode(2, "encoder-mode", "alaw"), "rx_pt 18 tx_pt 8", 1},
        {mode(3, "encoder-mode", "alaw"), "rx_pt 18 tx_pt 8", 1},
        {mode(4, "decoder-mode", "lbrc"), "rx_pt 18 tx_pt 8", 1},
        {mode(5, "decoder-mode", "ulaw"), "rx_pt 0 tx_pt 8", 2},
        {"$ fail rtp RTP_OPEN_SESSION EIO 1\n" +
             mode(6, "encoder-mode", "lbrc", "error : unsupported"),
         "rx_pt 0 tx_pt 8", 3},
        {"$ voice count 4 0\n" + mode(7, "encoder-mode", "lbrc", "error : unsupported"),
         "rx_pt 0 tx_pt 8", 4},
        {"$ voice count 4 1\n" + mode(8, "encoder-mode", "lbrc"), "rx_pt 0 tx_pt 18", 5},
    };
    c.run(created(1, 9, p, ", ssrc 5"));
    for (Step const& s : steps) {
        SCOPED_TRACE(s.command);
        c.run(s.command + "$ rtp\n= 4096 rtp#1 dsp 0 channel 0: " + s.session +
              " pfactor 0 ssrc 5 ...\n");
        EXPECT_EQ(restarts(), s.restarts);
    }
    EXPECT_TRUE(c.server.errHas("rtp[4096]: encoder-mode alaw - Nothing to do\n"));
    EXPECT_TRUE(c.server.errHas("rtp[4096]: decoder-mode lbrc - Nothing to do\n"));
    EXPECT_TRUE(c.server.errHas("rtp[4096]: RTP_OPEN_SESSION fail: Input/output error\n"));
    EXPECT_TRUE(c.server.errHas("rtp[4096]: RTP_OPEN_SESSION fail: No space left on device\n"));
    EXPECT_EQ(occurrences(c.server.err(), "rtp[4096]: fail to restart RTP session!\n"), 2u);
    // The restarted session still carries the stream's events.
    c.run("$ rtp pd 4096 1 2\n< { slot 9, pdu signal : rtp : pd : { value 1, timeout 2 } }\n");
}

// Whole records only: a short or empty one is reported and passed over; a
// device that ends or hangs up is closed once, not read again and again, the
// controller hears of it once, and the slot still goes away cleanly.
TEST(RtpSlots, ReadOnlyWholeEventRecordsAndCloseADeviceThatEnds) {
    std::string const closed =
        "rtp[4096]: fail to read from rtp: end of file; the device is closed\n";
    for (char const* ending : {"rtp end 4096", "hangup rtp"}) {
        SCOPED_TRACE(ending);
        Connected c;
        StreamPorts const p;
        c.run(created(1, 9, p, ", ssrc 5") + R"(
            $ rtp short 4096 5
            $ rtp short 4096 35
            $ rtp short 4096 0
            $ rtp pd 4096 3 4
            < { slot 9, pdu signal : rtp : pd : { value 3, timeout 4 } }
        )" + "$ " +
              ending + "\n< { slot 9, pdu signal : abort : 32 }\n~ 200\n");
        EXPECT_TRUE(
            c.server.errHas("rtp[4096]: fail to read from rtp: a record of 5 bytes, not 36\n"));
        EXPECT_TRUE(
            c.server.errHas("rtp[4096]: fail to read from rtp: a record of 35 bytes, not 36\n"));
        EXPECT_TRUE(
            c.server.errHas("rtp[4096]: fail to read from rtp: a record of 0 bytes, not 36\n"));
        EXPECT_EQ(occurrences(c.server.err(), closed), 1u) << c.server.err();
        c.run("> { seq 2, slot 9, pdu command : ioctl : pd-enable : { timeout 1 } }\n< " +
              answer(2, 9, "error : unsupported") + "\n" + destroyed(3, 9) +
              "$ rtp\n= no RTP sessions\n$ mux 4096\n= 4096 off\n");
        EXPECT_TRUE(c.server.errHas("rtp[4096]: ioctl refused: the driver ended the session\n"));
        EXPECT_EQ(text(p.rtcp.receive()), sdes(5));
        EXPECT_EQ(text(p.rtcp.receive()), bye(5));
    }
}

// only-rtp: the stream is another process's session; the server opens no
// socket and sends no report of its own.
TEST(RtpSlots, AttachToAnotherProcesssSessionInsteadOfOpeningSockets) {
    Connected c;
    StreamPorts const p;
    std::string const other = ", rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 7, pid 4242 } }";
    c.run(created(1, 9, p, other + ", ssrc 5") +
          "$ rtp\n= 4096 rtp#1 dsp 0 channel 0: ... socket 7 pid 4242\n");
    EXPECT_TRUE(portsFree(p.local));
    c.run(destroyed(2, 9));
    EXPECT_EQ(text(p.rtcp.receive(200)), "");
}

// A slot whose session the driver ended lets go of its port, connections and
// receivers at once; the slot that gets the port next keeps all of it when
// the dead slot is destroyed.
TEST(RtpSlots, LetGoOfEverythingWhenTheDriverEndsTheSessionAndLeaveTheNextHolderAlone) {
    struct Case {
        std::string ending;  // board-tool commands
        int cause;
    } const cases[] = {{"rtp end 4096", 32}, {"fail rtp read EIO 1\n$ rtp pd 4096 1 1", 5}};
    for (Case const& k : cases) {
        SCOPED_TRACE(k.ending);
        Connected c;
        StreamPorts const p, q;
        // Slot `slot` and the trunk's slot 1 connected both ways, DTMF detected.
        auto const connected = [](int slot) {
            std::string const s = std::to_string(slot);
            return answered("+ { seq 3, slot " + s + ", pdu command : connect : 1 }\n"
                            "+ { seq 4, slot 1, pdu command : connect : " + s + " }\n"
                            "+ { seq 5, slot " + s + ", pdu command : ioctl : dtmf-enable : TRUE }\n"
                            "$ mux 4096\n= 4096 <- 37\n$ mux 37\n= 37 <- 4096\n");
        };
        c.run(created(1, 9, p, ", ssrc 5") + answered(R"(
            + { seq 2, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }
            < { slot 1, pdu signal : transmitter : active : 37 }
            < { slot 1, pdu signal : receiver : active : 37 }
        )") + connected(9) +
              "$ " + k.ending + "\n< { slot 9, pdu signal : abort : " + std::to_string(k.cause) +
              " }\n$ rtp\n= no RTP sessions\n$ mux 4096\n= 4096 off\n$ mux 37\n= 37 = 0xd5\n"
              "$ dtmf 4096\n= 4096 detector off ...\n");
        EXPECT_EQ(text(p.rtcp.receive()), sdes(5));
        EXPECT_EQ(text(p.rtcp.receive()), bye(5));
        // Nothing connects to it any more.
        c.run("> { seq 6, slot 9, pdu command : connect : 1 }\n< ...error...\n");
        // The next slot gets the port; the dead one's destroy leaves it be.
        c.run(created(7, 10, q, ", ssrc 6") + connected(10) + "$ log clear\n" + destroyed(8, 9) +
              "$ mux 4096\n= 4096 <- 37\n$ mux 37\n= 37 <- 4096\n"
              "$ dtmf 4096\n= 4096 detector on ...\n$ rtp\n= 4096 rtp#2 ...\n~ 100\n");
        EXPECT_EQ(occurrences(boardLog(c.server.root(), ""), "4096"), 0u);
        EXPECT_EQ(text(p.rtcp.receive(200)), "");
        EXPECT_EQ(occurrences(c.server.err(), "abort"), 0u);
    }
}

// The goodbye goes out even when the peer's RTCP port was unreachable when
// the stream started, and an error it drew waits on the socket.
TEST(RtpSlots, SayGoodbyeOnRtcpAfterThePeersPortWasUnreachableAtTheStart) {
    Connected c;
    int const remote = freeUdpPair(), local = freeUdpPair();
    StreamPorts p;
    p.remote = remote;
    p.local = local;
    c.run(created(1, 9, p, ", ssrc 5") + "~ 100\n");
    UdpPeer const rtcp(remote + 1);
    ASSERT_TRUE(rtcp.bound());
    c.run(destroyed(2, 9));
    EXPECT_EQ(text(rtcp.receive()), bye(5));
    EXPECT_EQ(occurrences(c.server.err(), "rtcp send fail"), 0u) << c.server.err();
}
