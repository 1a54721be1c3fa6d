// Radio channels of the real server on the simulated board: the slot each
// radio protocol makes with its DSP features and its extended session, the
// radio commands the board sees transmitted, the received radio state and
// failures the controller hears of, the ED-137 keep-alives, and the radio
// stream around a codec change and a destroy.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "rtp/radio/sig_proto.h"
#include "tests/support/loop.h"
#include "tests/support/process.h"
#include "tests/support/radio_values.h"
#include "tests/support/slot_session.h"
#include "tests/support/sockets.h"

using namespace support;
using namespace std::chrono_literals;
using PTT = TERM::ED137RadioPTT;

namespace {

std::string const kvel = "kvel : " + oneLine(kvelStatus());
// An ED-137 radio whose peer is silent after `multiplier` keep-alive periods.
std::string ed137Radio(int multiplier) {
    return "ed-137 : { header { ptt ptt-off, squ squ-off, ptt-id 9, ptt-mute FALSE, "
           "ptt-summation FALSE, sct FALSE }, radio-response { type radio-txrx, txrxmode txrx, "
           "r2s-keepalive-period 40, r2s-keepalive-multiplier " +
           std::to_string(multiplier) + ", ptt-id 9, rtphe 0 } }";
}
std::string const ed137 = ed137Radio(10);
// The hex record of kvelStatus() on the driver.
std::string const kvel_record =
    "00 00 00 03 01 55 02 00 01 2C 00 00 00 00 00 07 05 31 31 38 2E 35 04 09 02 05 01 06 00";

// A create of a radio channel on slot 5: `radio` is the request's status
// and the fields after it.
std::string create(int seq, StreamPorts const& p, std::string const& radio) {
    std::ostringstream s;
    s << "{ seq " << seq << ", slot 5, pdu command : create : rtp : { codecRTP { payload ptG729, "
      << "dhost { iaddr \"127.0.0.1\", port " << p.remote << " }, shost { iaddr \"127.0.0.1\", "
      << "port " << p.local << " }, radio { status " << radio
      << " } }, txPayload ptG729, rxPayload ptG729 } }";
    return s.str();
}

std::string answer(int seq, std::string const& result = "success : NULL") {
    return "{ seq " + std::to_string(seq) + ", slot 5, pdu response : " + result + " }";
}

std::string created(int seq, StreamPorts const& p, std::string const& radio) {
    return "> " + create(seq, p, radio) + "\n< " + answer(seq) +
           "\n< { slot 5, pdu signal : transmitter : active : 4096 }\n"
           "< { slot 5, pdu signal : receiver : active : 4096 }\n";
}

std::string ioctl(int seq, std::string const& request,
                  std::string const& result = "success : NULL") {
    return "> { seq " + std::to_string(seq) + ", slot 5, pdu command : ioctl : " + request +
           " }\n< " + answer(seq, result) + "\n";
}

std::string rtpExt(int seq, TERM::RadioModifier const& command,
                   std::string const& result = "success : NULL") {
    return ioctl(seq, "rtpExt : " + oneLine(command), result);
}

std::string signal(std::string const& status) {
    return "< { slot 5, pdu signal : rtpExt : { status " + status + " } }\n";
}

// How many keep-alives the board's session 1 has seen sent.
long keepAlives(std::string const& root) {
    std::string const sessions = boardTool(root, "rtpext");
    size_t const at = sessions.find("keepalive ");
    return at == std::string::npos ? -1 : std::stol(sessions.substr(at + 10));
}

// The last keep-alive the server sent on session 1, as the board shows it.
std::string lastKeepAlive(std::string const& root) {
    std::string const kept = boardTool(root, "rtpext written 1 keepalive");
    size_t const at = kept.rfind("keepalive");
    return at == std::string::npos ? "" : kept.substr(at, kept.size() - at - 1);
}

// The entries of the board's log that are the RTP or extended RTP driver's
// requests, in order.
std::string rtpRequests(std::string const& root) {
    std::istringstream log(boardLog(root, ""));
    std::string found;
    for (std::string line; std::getline(log, line);)
        if (line.compare(0, 4, "rtp ") == 0 || line.compare(0, 8, "rtp_ext ") == 0)
            if (line.find(" open") == std::string::npos && line.find(" close") == std::string::npos)
                found += line + "\n";
    return found;
}

}  // namespace

TEST(RadioSlots, CreateTheSlotOfTheirProtocolWithItsDspFeaturesOrDeclineItLeavingNothing) {
    Connected c;
    StreamPorts const p;
    std::string const own = std::to_string(c.server.pid());
    struct Case {
        std::string radio;
        std::string dsp;  // the timeslot's features
        std::string session;
    } const cases[] = {
        // On another process's RTP session, the radio signalling is too; the
        // timeslot's features are left as they were.
        {kvel + " }, rtp-e2m { slot 0, channel 0, mode only-rtp : { fd 9, pid 1234 }",
         "4096 vad off 0 sd off 0 bss off 0 ng off 0 mute off delays 0 0 0 gain 0",
         "kvel attached 9/1234 started"},
        {kvel + ", rx-delay 10, tx-delay 20, bss-enable TRUE, ng-enable TRUE, selcal-delay 30",
         "4096 ... bss on ... ng on ... delays 10 20 30 ...",
         "kvel attached .../" + own + " started"},
        {ed137 + ", bss-enable FALSE, ng-enable TRUE",
         "4096 ... bss off ... ng on ... delays 0 0 0 ...",
         "ed137 attached .../" + own + " started"},
    };
    int seq = 0;
    for (Case const& k : cases) {
        SCOPED_TRACE(k.radio);
        c.run(created(++seq, p, k.radio) + "$ dsp 4096\n= " + k.dsp + "\n$ rtpext\n= ... " +
              k.session + ", ...\n");
        c.run("> { seq 9, slot 5, pdu command : destroy : NULL }\n< " + answer(9) +
              "\n$ rtpext\n$ rtp\n= no RTP sessions\n");
    }
    EXPECT_EQ(occurrences(c.server.err(), "05:rtp ext KVEL (GW): Kvel radio control started\n"),
              2u);
    EXPECT_EQ(occurrences(c.server.err(), "05:rtp ext ED137 (GW): ED137 radio control started\n"),
              1u);

    struct Bad {
        std::string board;
        std::string radio;
        std::string line;
    } const bads[] = {
        {"", ed137 + ", selcal-delay -1",
         "RTP Ext ED137: rtp do not created: selcal-delay -1 is negative\n"},
        {"absent rtp_ext", kvel,
         "RTP Ext KVEL: rtp do not created: device \"/dev/rtp_ext\" open fail: No such file or "
         "directory\n"},
        {"fail rtp_ext RTP_EXT_INIT EBUSY 1", ed137,
         "RTP Ext ED137: rtp do not created: RTP_EXT_INIT fail: Device or resource busy\n"},
    };
    for (Bad const& k : bads) {
        SCOPED_TRACE(k.line);
        if (!k.board.empty()) boardTool(c.server.root(), k.board);
        c.run("> " + create(1, p, k.radio) + "\n< " + answer(1, "error : insufficientResources") +
              "\n$ rtp\n= no RTP sessions\n$ rtpext\n$ mux 4096\n= 4096 off\n");
        EXPECT_TRUE(c.server.errHas(k.line)) << k.line;
        boardTool(c.server.root(), "present rtp_ext");
    }
}

TEST(RadioSlots, KvelCommandsReachTheBoardWholeAndItsStatusesAndFailuresTheController) {
    Connected c;
    StreamPorts const p;
    std::string script = created(1, p, kvel), written;
    for (int index = 0; index < 20; ++index) {
        script += rtpExt(10 + index, kvelModifier(index));
        written += "kvel " + text(sig_proto::encodeCommand(kvelCommand(index)).bytes) + "\n";
    }
    TERM::ED137RadioHeader const talk = ed137Header(PTT::normal_ptt_on, false, 9);
    script += rtpExt(30, ed137Tx(talk), "error : unsupported");
    c.run(script);
    EXPECT_EQ(boardTool(c.server.root(), "rtpext written 1"), written);

    // What is not a whole Kvel status reaches nobody.
    c.run("$ rtpext receive 1 kvel " + kvel_record + "\n" + signal(kvel) +
          "$ rtpext raw 1 00 03 00\n$ rtpext raw 1 00 03 00 05 01\n"
          "$ rtpext receive 1 voice 01 67 00 01 00 00 00 00\n$ rtpext receive 1 kvel " +
          kvel_record + " 00\n~ 100\n$ rtpext fail 1 77\n< { slot 5, pdu signal : abort : 77 }\n");
    for (char const* line :
         {"record of 3 bytes is shorter than its header",
          "record length 5 runs past its 1 bytes of data",
          "record of kind 1 on a Kvel radio session", "1 bytes follow the 29-byte status"})
        EXPECT_TRUE(c.server.errHas(
            "05:rtp ext KVEL (GW): Kvel radio control: dropped: " + std::string(line) + "\n"))
            << line;
    EXPECT_TRUE(c.server.errHas("Kvel radio control: rtpExt refused: not a Kvel radio command\n"));
}

TEST(RadioSlots, ED137KeepsAliveAtThePeriodAskedAndReportsThePeerAndItsSilence) {
    Connected c;
    StreamPorts const p;
    // Nobody answers: after 10 x 40 ms the controller is told.
    c.run(created(1, p, ed137) + "< { slot 5, pdu signal : abort : 2001 }\n");
    // By then the keep-alives of those 400 ms went out, one a period.
    EXPECT_GE(keepAlives(c.server.root()), 9);
    long const first = keepAlives(c.server.root());
    auto const from = Clock::now();
    EXPECT_TRUE(waitFor([&] { return keepAlives(c.server.root()) >= first + 10; }, 3000ms));
    EXPECT_GE(elapsedMs(from), 9 * 40);
    // The first version's extension (rtphe 0) with the session's PTT-id 9,
    // then what the last command set.
    EXPECT_EQ(lastKeepAlive(c.server.root()), "keepalive 00 67 00 01 09 00 00 00");
    TERM::ED137RadioHeader const talk = ed137Header(PTT::priority_ptt_on, true, 9);
    TERM::ED137RadioExtensionSQI const sqi = ed137Sqi(TERM::ED137RadioBSSMethod::rssi, 20);
    c.run(rtpExt(2, ed137Rx(talk, &sqi)) + rtpExt(3, ed137Tx(talk)) +
          rtpExt(4, kvelModifier(2), "error : unsupported") +
          rtpExt(6, ed137Tx(ed137Header(PTT::normal_ptt_on, false, 16)), "error : unsupported") +
          "$ rtpext written 1 voice\n= voice 00 67 00 01 79 44 45 00\n"
          "= voice 00 67 00 01 79 00 00 00\n");
    EXPECT_TRUE(waitFor(
        [&] { return lastKeepAlive(c.server.root()) == "keepalive 00 67 00 01 79 00 00 00"; },
        1000ms));

    // The peer's extension is reported when it changes, a broken one is
    // dropped; its silence is told again, and what it says after is news.
    std::string const heard =
        "ed-137 : { header { ptt ptt-off, squ squ-on, ptt-id 0, ptt-mute FALSE, ptt-summation "
        "FALSE, sct FALSE }, sqi { bss-method c-n, bss-quality 9 } }";
    std::string const receive = "$ rtpext receive 1 ";
    c.run(receive + "keepalive 01 67 00 01 10 01 11 4A\n" + signal(heard) + receive +
          "voice 01 67 00 01 10 01 11 4A\n" + receive + "voice 01 67 00 02 10 00 00 00\n" +
          "< { slot 5, pdu signal : abort : 2001 }\n" + receive +
          "keepalive 01 67 00 01 10 01 11 4A\n" + signal(heard));
    // Told after period x multiplier, 400 ms, of silence.
    auto const heard_at = Clock::now();
    c.run("< { slot 5, pdu signal : abort : 2001 }\n");
    EXPECT_GE(elapsedMs(heard_at), 350);
    EXPECT_TRUE(c.server.errHas(
        "05:rtp ext ED137 (GW): ED137 radio control: rtpExt refused: PTT-id 16 is above 15\n"));
    EXPECT_TRUE(
        c.server.errHas("05:rtp ext ED137 (GW): ED137 radio control: dropped: extension "
                        "length of 2 words runs past its 8 bytes\n"));

    // A session the driver ends is a radio failure, and the keep-alives and
    // the watch on the peer end with it.
    c.run("$ hangup rtp_ext\n< { slot 5, pdu signal : abort : 32 }\n~ 500\n" +
          rtpExt(5, ed137Tx(talk), "error : unsupported"));
    EXPECT_EQ(occurrences(c.server.err(), "signalling of kind 2 not sent"), 0u);
}

TEST(RadioSlots, ACodecChangeStopsTheRadioStreamAroundTheSessionAndDestroyStopsItFirst) {
    Connected c;
    StreamPorts const p;
    c.run(created(1, p, kvel) + "$ log clear\n" + ioctl(2, "encoder-mode : alaw"));
    EXPECT_TRUE(
        matches(rtpRequests(c.server.root()),
                "rtp_ext RTP_EXT_STOP 0\nrtp RTP_CLOSE_SESSION 0\nrtp RTP_OPEN_SESSION ...\n"
                "rtp RTP_ATTACH_SESSION ...\nrtp_ext RTP_EXT_START 0\n"))
        << rtpRequests(c.server.root());

    // A change the driver refuses leaves the stream on its codec, and its
    // radio stream goes on too.
    c.run("$ log clear\n$ fail rtp RTP_OPEN_SESSION EINVAL 1\n" +
          ioctl(3, "decoder-mode : ulaw", "error : unsupported") +
          "$ rtpext\n= 1 kvel ... started, ...\n");
    EXPECT_TRUE(matches(rtpRequests(c.server.root()),
                        "rtp_ext RTP_EXT_STOP 0\nrtp RTP_CLOSE_SESSION 0\n"
                        "rtp RTP_OPEN_SESSION ... -> EINVAL\n...rtp_ext RTP_EXT_START 0\n"))
        << rtpRequests(c.server.root());

    // A radio stream that does not start again is a radio failure.
    // It is told before the answer to the change.
    c.run(
        "$ fail rtp_ext RTP_EXT_START EIO 1\n"
        "> { seq 4, slot 5, pdu command : ioctl : encoder-mode : ulaw }\n"
        "< { slot 5, pdu signal : abort : 5 }\n< " +
        answer(4) + "\n$ rtpext\n= 1 kvel ... stopped, ...\n");

    c.run("$ log clear\n> { seq 5, slot 5, pdu command : destroy : NULL }\n< " + answer(5) + "\n");
    EXPECT_TRUE(matches(rtpRequests(c.server.root()),
                        "rtp_ext RTP_EXT_STOP 0\n...rtp RTP_CLOSE_SESSION 0\n"))
        << rtpRequests(c.server.root());
    EXPECT_TRUE(c.server.errHas("05:rtp ext KVEL (GW): Kvel radio control stopped\n"));
}

// The RTP session that the driver ends takes the radio with it, told once; a
// codec change that leaves no session leaves the radio stopped until one
// that works.
TEST(RadioSlots, StopTheRadioWithTheRtpSessionAndTellTheControllerOnce) {
    {
        Connected c;
        StreamPorts const p;
        c.run(created(1, p, ed137Radio(50)) +
              "$ rtp end 4096\n< { slot 5, pdu signal : abort : 32 }\n$ rtpext\n$ rtp\n"
              "= no RTP sessions\n~ 300\n" +
              rtpExt(2, ed137Tx(ed137Header(PTT::normal_ptt_on, false, 9)), "error : unsupported"));
        EXPECT_TRUE(c.server.errHas("05:rtp ext ED137 (GW): ED137 radio control stopped\n"));
    }
    Connected c;
    StreamPorts const p;
    c.run(created(1, p, kvel) +
          "$ fail rtp RTP_OPEN_SESSION EIO 2\n"
          "> { seq 2, slot 5, pdu command : ioctl : encoder-mode : alaw }\n"
          "< { slot 5, pdu signal : abort : 5 }\n< " +
          answer(2, "error : unsupported") +
          "\n$ rtpext\n= 1 kvel ... stopped, ...\n$ rtp\n= 4096 ...: no session\n" +
          ioctl(3, "encoder-mode : alaw") + "$ rtpext\n= 1 kvel ... started, ...\n");
    EXPECT_TRUE(
        c.server.errHas("05:rtp ext KVEL (GW): no RTP session after the codec change; "
                        "Kvel radio control stays stopped\n"));
    // An empty record is no end of the session.
    c.run("$ rtpext raw 1\n$ rtpext receive 1 kvel " + kvel_record + "\n" + signal(kvel));
    EXPECT_TRUE(c.server.errHas("rtp ext[4096]: rtp_ext record of 0 bytes dropped\n"));
}

// Keep-alives the session does not take: one line and one failure for the
// run, tried again less often, and the period again once they go.
TEST(RadioSlots, ED137TellsOfFailingKeepAlivesOnceAndKeepsAliveAgainWhenTheyGo) {
    Connected c;
    StreamPorts const p;
    c.run(created(1, p, ed137Radio(5)) +
          "$ fail rtp_ext write EIO\n< { slot 5, pdu signal : abort : 5 }\n");
    // The peer's silence is told on its own.
    c.run("< { slot 5, pdu signal : abort : 2001 }\n~ 500\n");
    EXPECT_EQ(occurrences(c.server.err(), "fail to write to rtp_ext: Input/output error\n"), 1u);
    EXPECT_EQ(occurrences(c.server.err(), "signalling of kind 2 not sent\n"), 1u);
    long const before = keepAlives(c.server.root());
    c.run("$ fail clear\n");
    EXPECT_TRUE(waitFor([&] { return keepAlives(c.server.root()) >= before + 10; }, 5000ms));
    EXPECT_TRUE(
        c.server.errHas("05:rtp ext ED137 (GW): ED137 radio control: signalling sent again\n"));
}
