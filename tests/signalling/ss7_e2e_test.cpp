// PSTN SS7 slots of the real server: two links on two MCC channels joined
// back to back on the simulated board, and a link against the test peer on
// a channel's line socket.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/loop.h"
#include "tests/support/signalling_session.h"
#include "tests/support/ss7_peer.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string create(int slot, int trunk, bool emergency) {
    return command(slot, slot, "create : pstn : ss7 : { trunk " + std::to_string(trunk) +
                                   ", slc " + std::to_string(slot) + ", dpc 1, opc 2, emergency " +
                                   (emergency ? "TRUE" : "FALSE") + " }");
}

// The message unit of number i: 3 to 273 octets of a pattern of i.
Bytes unitOf(int i) {
    Bytes msu(3 + i % 271);
    for (size_t k = 0; k < msu.size(); ++k) msu[k] = uint8_t(i * 7 + k);
    return msu;
}

// As value notation prints octets: "'07 0a'H".
std::string hexOf(Bytes const& bytes) {
    std::string octets = text(bytes);
    for (char& c : octets) c = char(std::tolower(c));
    return "'" + octets + "'H";
}

std::string userData(int seq, Bytes const& data) {
    return "{ seq " + std::to_string(seq) + ", slot 1, pdu command : userData : " + hexOf(data) +
           " }";
}

std::string const both_down = "{ slot 1, pdu signal : deactivated : networkError }\n"
                             "{ slot 2, pdu signal : deactivated : networkError }";

}  // namespace

TEST(Ss7Links, BackToBackAlignWithinTheProvingPeriodAndCarryThousandsOfUnitsInOrder) {
    SignallingSession s;
    // Normal proving: in service once the proving period has passed (the
    // timers themselves are shown in virtual time, mtp2_link_test.cpp).
    Clock::time_point const joined =
        s.upBackToBack(create(1, 16, false) + create(2, 48, false) + activate(3, 1) +
                       activate(4, 2));
    EXPECT_GE(elapsedMs(joined), 600);

    // A window of units at a time, as a controller paces its link.
    int const total = 3000, window = 60;
    long octets = 0;
    for (int first = 0; first < total; first += window) {
        for (int i = first; i < first + window; ++i) {
            s.send(userData(100 + i, unitOf(i)));
            octets += long(unitOf(i).size());
        }
        // The answers and the far end's signals interleave as the loop reads.
        std::vector<std::string> signals;
        int answers = 0;
        while (answers < window || int(signals.size()) < window) {
            std::string const got = s.next();
            ASSERT_NE(got, "") << "after unit " << first;
            if (got.find("pdu response : success") != std::string::npos)
                ++answers;
            else
                signals.push_back(got);
        }
        for (int i = first; i < first + window; ++i)
            ASSERT_EQ(signals[size_t(i - first)],
                      "{ slot 2, pdu signal : userData : " + hexOf(unitOf(i)) + " }");
    }
    EXPECT_EQ(s.next(100ms), "");

    // 3000 units received: the last accepted is (127 + 3000) mod 128, sent
    // at once before the answer.
    s.run("> { seq 9000, slot 2, pdu command : ioctl : ss7RqBSN : NULL }\n"
          "< { slot 2, pdu signal : ioctl : ss7BSN : 55 }\n"
          "< { seq 9000, slot 2, pdu response : success : NULL }\n");
    std::string const counts = "msuTxCount 3000, msuRxCount 0, octetsTx " +
                               std::to_string(octets) + ", octetsRx 0, ";
    std::string const pattern = "{ slot 1, pdu signal : ioctl : ss7LinkInfo : { " + counts +
                                "speedRx 0, speedTx ..., overflowCntr 0, rtbSize 0, "
                                "repeatCntr 0, badSeqCntr 0, ss7state worked } }";
    EXPECT_TRUE(s.hasReport("ss7LinkInfo", 1, pattern));
    EXPECT_TRUE(s.hasReport("hdlcLinkInfo", 2,
                            "{ slot 2, pdu signal : ioctl : hdlcLinkInfo : { txSU ..., "
                            "txDiscard 0, txError 0, txOverflow 0, rxSU ... } }"));

    // Deactivation takes the link out of service (the far end follows) and
    // stops its units; destruction frees the channel and its switch paths.
    s.run(command(9001, 1, "deactivate : NULL"));
    EXPECT_EQ(s.nextOfBoth(), both_down);
    std::string const quiet = s.board("mcc");
    s.controller.quietFor(100ms);
    EXPECT_EQ(s.board("mcc"), quiet);
    s.board("log clear");
    s.run(command(9002, 1, "destroy : NULL") +
          command(9003, 2, "destroy : NULL") +
          "$ mcc\n= free: data 32 of 32 bri 16 of 16 transparent 32 of 32\n");
    EXPECT_EQ(boardLog(s.server.root(), "hal HAL_MUX_WRITE"),
              "hal HAL_MUX_WRITE 16 213\nhal HAL_MUX_WRITE 1024 213\n"
              "hal HAL_MUX_WRITE 48 213\nhal HAL_MUX_WRITE 1025 213\n");
}

TEST(Ss7Links, EmergencyAlignsWithTheShortProvingAndTheTrunkAlarmTakesTheLinksDown) {
    SignallingSession s;
    // The far end proves with the short period too: the link's trace says so.
    s.upBackToBack(create(1, 16, true) + create(2, 48, false) +
                   command(3, 2,
                           "ioctl : ss7Log : { state TRUE, raw-receive FALSE, raw-transmit "
                           "FALSE, mtp-transmit FALSE, mtp-receive FALSE, mtp-activate FALSE, "
                           "timers FALSE, msu-processing FALSE }") +
                   activate(4, 1) + activate(5, 2));
    EXPECT_TRUE(s.server.errHas(
        "02:pstn: SS7/L2 dpc=1, slc=2, trunk=48: state \"proving\": emergency proving\n"));

    EXPECT_EQ(s.board("e1 1 state lossCarrier"), "");
    EXPECT_EQ(s.nextOfBoth(), both_down);
    EXPECT_TRUE(s.server.errHas("02:pstn: trunk 1 has left the normal state\n"));
}

TEST(Ss7Links, AgainstThePeerRecoverFromLossAndBusyAndFailWhenItGoesWrongOrQuiet) {
    SignallingSession s;
    s.run(create(1, 16, false) +
          command(2, 1,
                  "ioctl : ss7Log : { state TRUE, raw-receive FALSE, raw-transmit FALSE, "
                  "mtp-transmit FALSE, mtp-receive FALSE, mtp-activate FALSE, timers FALSE, "
                  "msu-processing TRUE }") +
          activate(3, 1));
    Ss7Peer peer(s.lineSocket(1024));
    ASSERT_TRUE(peer.connected());
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : activated : NULL }");
    ASSERT_TRUE(peer.waitFor([](Ss7Peer::Seen const& p) { return p.in_service; }));

    // Both ways; a unit of the peer lost on the line is asked for again.
    // The next one follows it at once, so that the gap shows in a message
    // unit and not in a fill-in unit between the two.
    peer.sendMessages({hex("05 10 20")});
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : userData : '05 10 20'H }");
    peer.loseNextMessage();
    peer.sendMessages({hex("05 11 21"), hex("05 12 22")});
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : userData : '05 11 21'H }");
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : userData : '05 12 22'H }");

    // Units sent while the peer is busy come again once it is not.
    peer.setMode(Ss7Peer::Mode::busy);
    ASSERT_TRUE(s.server.errHas("01:pstn: SS7/L2 dpc=1, slc=1, trunk=16: peer busy\n", 3s));
    for (int i = 0; i < 5; ++i)
        s.run(command(10 + i, 1, "userData : '0A0B" + std::to_string(10 + i) + "'H"));
    s.controller.quietFor(100ms);
    EXPECT_EQ(peer.seen().messages.size(), 0u);
    peer.setMode(Ss7Peer::Mode::answering);
    ASSERT_TRUE(peer.waitFor([](Ss7Peer::Seen const& p) { return p.messages.size() == 5; }));
    EXPECT_EQ(peer.seen().messages, (std::vector<std::string>{"0A 0B 10", "0A 0B 11", "0A 0B 12",
                                                             "0A 0B 13", "0A 0B 14"}));
    EXPECT_EQ(peer.seen().received_twice, 0u);
    std::string const pattern =
        "{ slot 1, pdu signal : ioctl : ss7LinkInfo : { msuTxCount 5, msuRxCount 3, octetsTx 15, "
        "octetsRx 9, ..., rtbSize 0, repeatCntr 5, badSeqCntr 1, ss7state worked } }";
    EXPECT_TRUE(s.hasReport("ss7LinkInfo", 1, pattern));
    EXPECT_TRUE(s.server.errHas("01:pstn: SS7/L2 dpc=1, slc=1, trunk=16: sequence gap at fsn 2, expected 1\n"));

    // One unit whose BSN acknowledges nothing sent is dropped; two in a row
    // end the link.
    peer.sendBadBsn(1);
    EXPECT_EQ(s.next(200ms), "");
    peer.sendBadBsn(2);
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : deactivated : networkError }");
    EXPECT_TRUE(s.server.errHas("01:pstn: SS7/L2 dpc=1, slc=1, trunk=16: state \"idle\": abnormal BSN twice\n"));
    ASSERT_TRUE(peer.waitFor([](Ss7Peer::Seen const& p) { return p.last_status == "SIOS"; }));

    // Again in service; a peer that stops answering takes the link down.
    s.run(activate(20, 1));
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : activated : NULL }");
    EXPECT_EQ(s.next(150ms), "");
    peer.setMode(Ss7Peer::Mode::silent);
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : deactivated : networkError }");
    EXPECT_TRUE(s.server.errHas("01:pstn: SS7/L2 dpc=1, slc=1, trunk=16: state \"idle\": "
                                "signal unit error rate\n"))
        << s.server.err().substr(s.server.err().rfind("state \"in service\""));
}

TEST(Ss7Links, RefuseWhatAUnitCannotCarryAndWhatTheFullBufferCannotHold) {
    // T6 long enough for 127 answers and a report on a loaded machine.
    std::string config = fast_links;
    config.replace(config.find("ss7.t6 = 300"), 12, "ss7.t6 = 2000");
    SignallingSession s("", config);
    s.run(create(1, 16, false) +
          command(2, 1, "userData : '050102'H", "error : unsupported") + activate(3, 1));
    Ss7Peer peer(s.lineSocket(1024));
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : activated : NULL }");
    s.run(command(4, 1, "userData : '0501'H", "error : unsupported"));
    s.send(userData(5, Bytes(274, 0x55)));
    EXPECT_EQ(s.next(), "{ seq 5, slot 1, pdu response : error : unsupported }");

    // Busy: nothing is acknowledged, so the buffer fills at 127.
    peer.setMode(Ss7Peer::Mode::busy);
    peer.waitFor([](Ss7Peer::Seen const&) { return false; }, 20ms);
    for (int i = 0; i < 127; ++i) s.send(userData(10 + i, unitOf(i)));
    for (int i = 0; i < 127; ++i)
        ASSERT_EQ(s.next(), "{ seq " + std::to_string(10 + i) + ", slot 1, pdu response : success : NULL }");
    s.run(command(200, 1, "userData : '050102'H", "error : unsupported"));
    EXPECT_TRUE(s.server.errHas("01:pstn: userData of 3 octets refused: the link is not in service\n"));
    EXPECT_TRUE(s.server.errHas("01:pstn: userData of 2 octets refused: a message unit carries 3 "
                                "to 273 octets, not 2\n"));
    EXPECT_TRUE(s.server.errHas("01:pstn: userData of 274 octets refused: a message unit carries "
                                "3 to 273 octets, not 274\n"));
    EXPECT_TRUE(s.server.errHas("01:pstn: userData of 3 octets refused: the link is congested: "
                                "127 message units wait for acknowledgement\n"));
    std::string const full = "{ ... msuTxCount 127, ..., overflowCntr 1, rtbSize 127, ... } }";
    EXPECT_TRUE(s.hasReport("ss7LinkInfo", 1, full));
    // The peer busy for longer than T6 ends the link.
    EXPECT_EQ(s.next(6s), "{ slot 1, pdu signal : deactivated : networkError }");
}

TEST(Ss7Links, FailingChannelStepsReportDeactivatedAndKeepNothing) {
    SignallingSession s("absent mcc/ctl\n");
    // Each step that fails leaves the link down and the channel free.
    std::string script = create(1, 16, false);
    char const* const faults[] = {("$ present mcc/ctl\n= /dev/mcc/ctl present\n"
                                   "$ fail mcc/ctl MCC_ALLOCATE ENOSPC 1\n"),
                                  "$ fail mcc/ctl MCC_TIMESLOT EIO 1\n",
                                  "$ mcc\n= free: data 32 of 32 bri 16 of 16 transparent 32 of 32\n"};
    for (int seq = 2; seq < 5; ++seq)
        script += activate(seq, 1) + "< { slot 1, pdu signal : deactivated : networkError }\n" +
                  faults[seq - 2];
    s.run(script +
          // Timeslot 0 of a trunk and trunks past the fourth name no link.
          command(5, 2, "create : pstn : ss7 : { trunk 32, slc 0, dpc 1, opc 2, emergency FALSE }",
                  "error : insufficientResources") +
          command(6, 2, "create : pstn : cas : { trunk 128 }", "error : insufficientResources"));
    EXPECT_TRUE(s.server.errHas("hdlc [0/16]: fail to open MCC device: No such file or directory\n"));
    EXPECT_TRUE(s.server.errHas("hdlc [0/16]: MCC_ALLOCATE fail: No space left on device\n"));
    EXPECT_TRUE(s.server.errHas("hdlc [0/16]: MCC_TIMESLOT fail: Input/output error\n"));
    EXPECT_TRUE(s.server.errHas("PSTN: trunk 32 names no trunk timeslot (32 x trunk 0 to 3 + "
                                "timeslot 1 to 31)\n"));
}
