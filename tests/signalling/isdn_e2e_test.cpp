// ISDN and ATS-QSIG slots of the real server: two ISDN links joined back to
// back on the simulated MCC, a link whose far end a test LAPD peer plays on
// the channel's line socket, the D-channel printer in the log, and the
// ATS-QSIG slots on the simulated DSP data driver.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "tests/support/lapd_peer.h"
#include "tests/support/loop.h"
#include "tests/support/signalling_session.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// The creation of an ISDN slot on trunk 0 as a command.
std::string Create(char const* type, int log, char const* side) {
    return "create : isdn : { type " + std::string(type) + ", trunk 0, log " +
           std::to_string(log) + ", side " + side + " : NULL }";
}

// Layer-3 message number n of a slot, "08 01 SS 7b HI LO", as user data
// prints.
std::string Message(int slot, int n) {
    char text[24];
    std::snprintf(text, sizeof(text), "08 01 %02x 7b %02x %02x", slot, n >> 8, n & 0xFF);
    return text;
}

// ISDN slots 1 and 2 of the type, with their trace levels and sides, on
// MCC channels 1024 and 1025 joined back to back, both activated and up.
void LinkUp(SignallingSession& s, char const* type, int log1, char const* side1, int log2,
            char const* side2) {
    std::string const mode = std::string(type) == "bri" ? "1" : "0";
    // Both asked before the lines met: their next SABME come up together.
    s.upBackToBack(command(1, 1, Create(type, log1, side1)) +
                   command(2, 2, Create(type, log2, side2)) +
                   "$ log mcc/ctl MCC_ALLOCATE\n= mcc/ctl#1 MCC_ALLOCATE " + mode +
                   " 512 0 1 1\n= mcc/ctl#2 MCC_ALLOCATE " + mode + " 512 0 1 1\n" +
                   activate(3, 1) + activate(4, 2));
}

// ISDN slot 1 on the user side of a primary rate access, whose channel's
// line the test's peer plays, activated and up.
struct PeerLink : SignallingSession {
    PeerLink() {
        run(command(1, 1, Create("pri", 0, "user")));
        peer = std::make_unique<LapdPeer>(lineSocket(1024));
        EXPECT_TRUE(peer->connected());
        up(2);
    }
    // Activates the slot and answers its SABME.
    void up(int seq) {
        run(activate(seq, 1));
        EXPECT_EQ(peer->next(), "00 01 7F");
        peer->send("00 01 73");
        EXPECT_EQ(next(), "{ slot 1, pdu signal : activated : NULL }");
    }
    std::unique_ptr<LapdPeer> peer;
};

}  // namespace

TEST(IsdnSlots, TwoLinksBackToBackComeUpAndCarryThousandsOfMessagesInOrder) {
    SignallingSession s;
    LinkUp(s, "pri", 0, "network", 0, "user");

    // Batches from both ends at once; each message arrives once, in order.
    int const count = 2000, batch = 20;
    int seq = 10, arrived[3] = {0, 0, 0};
    for (int first = 0; first < count; first += batch) {
        for (int n = first; n < first + batch; ++n)
            for (int slot : {1, 2})
                s.send("{ seq " + std::to_string(++seq) + ", slot " + std::to_string(slot) +
                       ", pdu command : userData : '" + Message(slot, n) + "'H }");
        for (int got = 0; got < 4 * batch; ++got) {
            std::string const message = s.next();
            if (message.find("response : success") != std::string::npos) continue;
            int const to = message.rfind("{ slot 1,", 0) == 0 ? 1 : 2;
            int const from = 3 - to;
            ASSERT_EQ(message, "{ slot " + std::to_string(to) + ", pdu signal : userData : '" +
                                   Message(from, arrived[to]++) + "'H }");
        }
    }
    EXPECT_EQ(arrived[1] + arrived[2], 2 * count);
    // The window of 7 held some of each batch back. (When one end's SABME
    // crossed the other's, the later one re-establishes the link that has
    // just come up: counted as an error and a retrain, nothing lost.)
    std::string const full =
        "{ slot 1, pdu signal : ioctl : isdnLinkInfo : { side network, msuTxCount 2000, "
        "msuRxCount 2000, mT200 60, mT203 2000, errors ..., retrains ..., rejected 0, "
        "badconfirm 0, outOverflows 0, ackOverflows ..., lapdState multiple-frame-established, "
        "rc 0, peerBusy FALSE, ownBusy FALSE, rejException FALSE, ackPending FALSE, l3Initiated "
        "TRUE, establishable TRUE, queuedUpRQ FALSE, retrRQ FALSE, ackRQ FALSE, t200run FALSE, "
        "t203run TRUE, vs 80, va 80, vr 80, queueOut 0, queueAck 0 } }";
    EXPECT_TRUE(s.hasReport("isdnLinkInfo", 1, full));
}

TEST(IsdnSlots, AgainstAPeerRecoverALostFrameAndGoDownWhenThePeerStopsOrLeaves) {
    PeerLink s;
    LapdPeer const& peer = *s.peer;

    // The first I-frame is lost on the way: T200 sends it again with the poll bit.
    s.run(command(3, 1, "userData : '08 01 05 05'H"));
    EXPECT_EQ(peer.next(), "00 01 00 00 08 01 05 05");
    EXPECT_EQ(peer.next(), "00 01 00 01 08 01 05 05");
    peer.send("00 01 01 03");
    // The peer's own message is acknowledged.
    peer.send("02 01 00 02 08 01 85 07");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : userData : '08 01 85 07'H }");
    EXPECT_EQ(peer.next(), "02 01 01 02");

    // DISC releases the link.
    peer.send("02 01 53");
    EXPECT_EQ(peer.next(), "02 01 73");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : deactivated : networkError }");

    // Up again, then the peer stops answering: N200 polls, N200 SABME, down.
    s.up(5);
    s.run(command(6, 1, "userData : '08 01 05 0F'H"));
    EXPECT_EQ(peer.next(), "00 01 00 00 08 01 05 0F");
    for (int poll = 0; poll < 3; ++poll) EXPECT_EQ(peer.next(), "00 01 00 01 08 01 05 0F");
    for (int sabme = 0; sabme < 4; ++sabme) EXPECT_EQ(peer.next(), "00 01 7F");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : deactivated : networkError }");
    EXPECT_TRUE(s.server.errHas("01:MCC: LAPD error I: no answer to N200 polls\n"));
    EXPECT_TRUE(s.server.errHas("01:MCC: LAPD error G: no answer to N200 SABME\n"));
    std::string const down = "... msuTxCount 6, msuRxCount 1, mT200 60, mT203 2000, errors 2, "
                             "retrains 1, ... lapdState tei-assigned, ...";
    EXPECT_TRUE(s.hasReport("isdnLinkInfo", 1, down));
}

TEST(IsdnSlots, CountTheFaultsOfAFloodingPeerAndWriteOneLineOfEachKindPerReportPeriod) {
    PeerLink s;
    LapdPeer const& peer = *s.peer;
    int const flood = 100;
    for (int i = 0; i < flood; ++i) {
        peer.send("02 01 00");     // an I-frame cut in its control field: invalid
        peer.send("00 01 01 01");  // RR with F 1 not asked for: error A
    }
    // Every fault is counted in the lines: the first one, then "(n more in
    // 250 ms)" at the end of each report period in which more came.
    struct Kind {
        char const* line;
        int counted = 0;
        int lines = 0;
    };
    Kind kinds[] = {{"01:MCC: LAPD invalid frame dropped: frame shorter than its control field"},
                    {"01:MCC: LAPD error A: final bit not asked for"}};
    auto const count = [&] {
        std::istringstream err(s.server.err());
        for (Kind& kind : kinds) kind.counted = kind.lines = 0;
        for (std::string line; std::getline(err, line);) {
            for (Kind& kind : kinds) {
                if (line.rfind(kind.line, 0) != 0) continue;
                ++kind.lines;
                int more = 0;
                std::sscanf(line.c_str() + std::strlen(kind.line), " (%d more", &more);
                kind.counted += more > 0 ? more : 1;
            }
        }
        return kinds[0].counted == flood && kinds[1].counted == flood;
    };
    Clock::time_point const start = Clock::now();
    while (!count() && elapsedMs(start) < 5000) s.controller.quietFor(20ms);
    for (Kind const& kind : kinds) {
        SCOPED_TRACE(kind.line);
        EXPECT_EQ(kind.counted, flood);
        EXPECT_LE(kind.lines, 1 + elapsedMs(start) / 250 + 1);
    }
    std::string const counters = "... errors 100, retrains 0, ... lapdState multiple-frame-established, ...";
    EXPECT_TRUE(s.hasReport("isdnLinkInfo", 1, counters));
}

TEST(IsdnSlots, PrintTheMessagesTheyCarryWhenTheirTraceLevelIsAbove2) {
    SignallingSession s;
    LinkUp(s, "bri", 3, "user", 2, "network");
    s.run(command(5, 1, "userData : '08 01 05 05 04 03 80 90 A3 70 03 81 31 32'H") +
          "< { slot 2, pdu signal : userData : '08 01 05 05 04 03 80 90 a3 70 03 81 31 32'H }\n" +
          command(6, 2, "userData : '08 01 85 07'H") +
          "< { slot 1, pdu signal : userData : '08 01 85 07'H }\n");
    std::string const setup =
        "01:MCC: tx pd 08 cr 5 flag 0 SETUP | Bearer capability: 80 90 A3 | Called party "
        "number: 81 31 32\n";
    std::string const connect = "01:MCC: rx pd 08 cr 5 flag 1 CONNECT\n";
    EXPECT_TRUE(s.server.errHas(setup + connect));
    EXPECT_EQ(occurrences(s.server.err(), "pd 08"), 2u);
}

TEST(IsdnSlots, RefuseIoctlsAndMessagesTheLinkCannotCarryAndFailingCreatesKeepNothing) {
    SignallingSession s("absent mcc/ctl\n");
    std::string const pri = Create("pri", 0, "user"), no = "error : insufficientResources";
    std::string const unsupported = "error : unsupported", all_free =
        "$ mcc\n= free: data 32 of 32 bri 16 of 16 transparent 32 of 32\n";
    s.run(command(1, 1, pri, no) + "$ present mcc/ctl\n= /dev/mcc/ctl present\n" +
          "$ fail mcc/ctl MCC_ALLOCATE ENOSPC 1\n" + command(2, 1, pri, no) +
          "$ fail mcc/ctl MCC_TIMESLOT EIO 1\n" + command(3, 1, pri, no) + all_free +
          command(4, 1, pri) + command(5, 1, "ioctl : dtmf-enable : TRUE", unsupported) +
          command(6, 1, "userData : '08 01 05 05'H", unsupported) + activate(7, 1) +
          command(8, 1, "userData : '" + std::string(261 * 2, '0') + "'H", unsupported) +
          command(9, 1, "destroy : NULL") + all_free);
    EXPECT_TRUE(s.server.errHas("ISDN: fail to open MCC device: No such file or directory\n"
                                "ISDN: MCC_ALLOCATE fail: No space left on device\n"
                                "ISDN: MCC_TIMESLOT fail: Input/output error\n"));
    EXPECT_TRUE(
        s.server.errHas("01:MCC: layer-3 message refused: the link is tei-assigned\n"));
    EXPECT_TRUE(
        s.server.errHas("01:MCC: layer-3 message of 261 octets refused: longer than N201 (260)\n"));
}

TEST(AtsQsigSlots, PutTheBChannelsOfALinkOnTheSwitchAndOutliveTheirDSlot) {
    SignallingSession s("dsp-data count 1\n");
    auto const b = [](int link, int subslot) {
        return "create : ats-qsig-b : { slot " + std::to_string(link) + ", subslot " +
               std::to_string(subslot) + " }";
    };
    std::string const no = "error : insufficientResources";
    s.run(command(1, 10, "create : ats-qsig : { side user : NULL }") + command(2, 11, b(10, 1)) +
          command(3, 12, b(10, 2)) + command(4, 13, b(10, 3)) + command(5, 14, b(10, 3), no) +
          command(6, 14, b(9, 1), no) + command(7, 14, b(12, 1), no) +
          command(8, 15, "create : ats-qsig : { side network : NULL }", no));
    s.run(R"(
        $ dsp-data
        = link 0 line 700 B 701 702 703 dsp-data#1, in 0, out 0
        > { seq 9, slot 20, pdu command : create : trunk : { trunk 1, timeslot 5 } }
        < { seq 9, slot 20, pdu response : success : NULL }
        < { slot 20, pdu signal : transmitter : active : 37 }
        < { slot 20, pdu signal : receiver : active : 37 }
        > { seq 10, slot 12, pdu command : connect : 20 }
        < { slot 12, pdu signal : transmitter : active : 702 }
        < { seq 10, slot 12, pdu response : success : NULL }
        $ mux 37
        = 37 <- 702
    )" + command(11, 10, "destroy : NULL") + command(12, 11, "destroy : NULL") + R"(
        $ dsp-data
        = link 0 line 700 B 701 702 703 free
    )");
    EXPECT_TRUE(s.server.errHas("Can't find signalling slot\n"));
    EXPECT_TRUE(s.server.errHas("ISDN: ats-qsig-b: B channel 3 of 10:ATS-QSIG has a slot already\n"
                                "ISDN: ats-qsig-b: no ATS-QSIG slot 9\n"
                                "ISDN: ats-qsig-b: no ATS-QSIG slot 12\n"
                                "ISDN: DSP_DATA_ATTACH fail: No space left on device\n"));
    // Without the device, and with a B channel the link does not have.
    boardTool(s.server.root(), "absent dsp-data");
    s.run(command(13, 10, "create : ats-qsig : { side user : NULL }", no));
    EXPECT_TRUE(s.server.errHas("ISDN: fail to open dsp-data device: No such file or directory\n"));
}

TEST(PstnIsdnSlots, RunALinkOnTheDChannelOfTheirTrunkAndReportItsCongestion) {
    // A T200 that leaves a loaded machine time to answer each poll.
    std::string config = fast_links;
    config.replace(config.find("isdn.t200 = 60"), 14, "isdn.t200 = 300");
    SignallingSession s("", config);
    auto const pstn = [](int seq, int slot, char const* type, int trunk, char const* side,
                         std::string const& answer = "success : NULL") {
        return command(seq, slot, "create : pstn : isdn : { type " + std::string(type) +
                       ", trunk " + std::to_string(trunk) + ", log 0, side " + side + " : NULL }",
                       answer);
    };
    std::string const no = "error : insufficientResources";
    s.run(pstn(1, 1, "pri", 4, "user", no) + pstn(2, 1, "pri", 1, "user") + activate(3, 1) +
          pstn(4, 2, "bri", 8, "user", no) + pstn(5, 2, "bri", 7, "network") + activate(6, 2) + R"(
        $ log mcc/ctl MCC_ALLOCATE
        = mcc/ctl#1 MCC_ALLOCATE 0 512 0 1 1
        = mcc/ctl#2 MCC_ALLOCATE 1 512 0 1 1
        $ log hal HAL_MUX_CONNECT
        = hal#2 HAL_MUX_CONNECT 1024 48
        = hal#2 HAL_MUX_CONNECT 48 1024
        = hal#2 HAL_MUX_CONNECT 1025 30
        = hal#2 HAL_MUX_CONNECT 30 1025
    )" + command(7, 2, "destroy : NULL"));
    EXPECT_TRUE(s.server.errHas("PSTN: no E1 trunk 4 for an ISDN link\n"
                                "PSTN: no BRI port 8 for an ISDN link\n"));
    LapdPeer const peer(s.lineSocket(1024));
    ASSERT_TRUE(peer.connected());
    // The SABME sent before the peer came is lost; T200 sends it again.
    EXPECT_EQ(peer.next(), "00 01 7F");
    peer.send("00 01 73");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : activated : NULL }");

    peer.send("02 01 05 01");
    EXPECT_EQ(peer.next(), "02 01 01 01");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : ioctl : isdnLinkStatus : congested }");
    s.run(command(4, 1, "userData : '08 01 05 05'H"));
    // No I-frame to the busy peer: T200 polls it, and its answer RR ends the
    // busy condition.
    EXPECT_EQ(peer.next(), "00 01 01 01");
    peer.send("00 01 01 01");
    EXPECT_EQ(peer.next(), "00 01 00 00 08 01 05 05");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : ioctl : isdnLinkStatus : normal }");
    peer.send("00 01 01 02");

    // Deactivation releases the link; a link that is down says so again.
    s.run(command(5, 1, "deactivate : NULL"));
    EXPECT_EQ(peer.next(), "00 01 53");
    peer.send("00 01 73");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : deactivated : networkError }");
    s.run(R"(
        > { seq 6, slot 1, pdu command : deactivate : NULL }
        < { seq 6, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : deactivated : networkError }
        > { seq 7, slot 1, pdu command : ioctl : ss7RqBSN : NULL }
        < { seq 7, slot 1, pdu response : error : unsupported }
    )");
}

TEST(IsdnSlots, HoldAtMost64MessagesForABusyPeerAndRefuseTheNext) {
    PeerLink s;
    LapdPeer const& peer = *s.peer;
    peer.send("02 01 05 01");
    EXPECT_EQ(peer.next(), "02 01 01 01");
    for (int n = 0; n <= 64; ++n)
        s.send("{ seq " + std::to_string(100 + n) + ", slot 1, pdu command : userData : '" +
               Message(1, n) + "'H }");
    for (int n = 0; n < 64; ++n)
        EXPECT_EQ(s.next(), "{ seq " + std::to_string(100 + n) +
                                ", slot 1, pdu response : success : NULL }");
    EXPECT_EQ(s.next(), "{ seq 164, slot 1, pdu response : error : unsupported }");
    EXPECT_TRUE(s.server.errHas(
        "01:MCC: layer-3 message refused: the link is congested, 64 messages wait\n"));
    // No I-frame to the busy peer: T200 polls it.
    EXPECT_EQ(peer.next(), "00 01 01 01");
}
