// The LAPD entity on the main loop's timers, with short timings: two ends
// back to back (user and network side), and lone ends handed the peer's
// frames by the test. Frames are compared whole, as the channel carries them.

#include "signalling/isdn/lapd.h"

#include <gtest/gtest.h>

#include "tests/support/lapd_line.h"
#include "tests/support/loop.h"

using namespace support;
using ISDN::Lapd;
using Log = std::vector<std::string>;

namespace {

ISDN::LapdParams Params(ISDN::Side side, unsigned k = 7) {
    ISDN::LapdParams p;
    p.side = side;
    p.k = k;
    p.t200_ms = 40;
    p.t203_ms = 150;
    return p;
}

// A message of layer 3 numbered n: "08 01 NN NN 05".
Bytes Message(unsigned n) {
    return {0x08, 0x01, uint8_t(n >> 8), uint8_t(n), 0x05};
}

struct BackToBack {
    explicit BackToBack(unsigned k = 7)
        : u("u", Params(ISDN::Side::user, k), log),
          n("n", Params(ISDN::Side::network, k), log),
          line(u, n) {}

    void establish() {
        n.lapd.Establish();
        u.lapd.Establish();
        EXPECT_TRUE(runUntil([this] { return u.ups == 1 && n.ups == 1; }));
        log.clear();
    }

    Log log;
    LapdEnd u;
    LapdEnd n;
    LapdLine line;
};

// A user end brought up by the network's UA.
struct Lone {
    explicit Lone(ISDN::LapdParams const& params = Params(ISDN::Side::user))
        : u("u", params, log) {
        u.lapd.Establish();
        u.give("00 01 73");
        EXPECT_EQ(u.lapd.state(), Lapd::State::established);
        log.clear();
    }
    Log log;
    LapdEnd u;
};

}  // namespace

TEST(Lapd, BothEndsEstablishAtOnceAndCarryMessagesEachWayWithTheirSidesCrBits) {
    BackToBack b;
    b.n.lapd.Establish();
    b.u.lapd.Establish();
    ASSERT_TRUE(runUntil([&] { return b.u.ups == 1 && b.n.ups == 1; }));
    EXPECT_EQ(b.log, (Log{"n 02 01 7F", "u 00 01 7F", "u 02 01 73", "n 00 01 73"}));

    b.log.clear();
    EXPECT_EQ(b.u.send(hex("08 01 05 05")), Lapd::SendResult::queued);
    ASSERT_TRUE(runUntil([&] { return b.log.size() == 2; }));
    EXPECT_EQ(b.n.send(hex("08 01 85 01")), Lapd::SendResult::queued);
    ASSERT_TRUE(runUntil([&] { return b.log.size() == 4; }));
    EXPECT_EQ(b.log, (Log{"u 00 01 00 00 08 01 05 05", "n 00 01 01 02",
                          "n 02 01 00 02 08 01 85 01", "u 02 01 01 02"}));
    EXPECT_EQ(b.n.received, (std::vector<Bytes>{hex("08 01 05 05")}));
    EXPECT_EQ(b.u.received, (std::vector<Bytes>{hex("08 01 85 01")}));
}

TEST(Lapd, ThousandsOfMessagesArriveInOrderAcrossTheWrapOfTheSequenceNumbers) {
    for (unsigned k : {7u, 1u}) {
        SCOPED_TRACE("k " + std::to_string(k));
        BackToBack b(k);
        b.establish();
        unsigned const count = 3000;
        std::vector<Bytes> sent;
        unsigned next_u = 0, next_n = 0;
        while (next_u < count || next_n < count) {
            while (next_u < count && b.u.send(Message(next_u)) == Lapd::SendResult::queued)
                sent.push_back(Message(next_u++));
            while (next_n < count && b.n.send(Message(next_n)) == Lapd::SendResult::queued)
                ++next_n;
            ASSERT_TRUE(runUntil([&] { return b.u.lapd.waiting() < 8 && b.n.lapd.waiting() < 8; }));
        }
        ASSERT_TRUE(runUntil([&] {
            return b.n.received.size() == count && b.u.received.size() == count &&
                   b.u.lapd.unacked() == 0 && b.n.lapd.unacked() == 0;
        }));
        EXPECT_EQ(b.n.received, sent);
        EXPECT_EQ(b.u.received, sent);
        EXPECT_EQ(b.u.lapd.counters().tx_i, count);
        EXPECT_EQ(b.n.lapd.counters().rx_i, count);
        EXPECT_EQ(b.u.lapd.vs(), count % 128);
        EXPECT_EQ(b.n.lapd.vr(), count % 128);
        EXPECT_EQ(b.u.errors + b.n.errors, "");
    }
}

TEST(Lapd, ALostIFrameIsSentAgainWithThePollBitWhenT200Expires) {
    BackToBack b;
    b.establish();
    bool lost = false;
    b.line.lose = [&](LapdEnd const& from, Bytes const& f) {
        bool const lose = &from == &b.u && f.size() > 4 && !lost;
        lost = lost || lose;
        return lose;
    };
    b.u.send(hex("08 01 05 05"));
    ASSERT_TRUE(runUntil([&] { return b.log.size() == 3; }));
    runFor(20);
    EXPECT_EQ(b.log, (Log{"u 00 01 00 00 08 01 05 05 lost", "u 00 01 00 01 08 01 05 05",
                          "n 00 01 01 03"}));
    EXPECT_EQ(b.n.received, (std::vector<Bytes>{hex("08 01 05 05")}));
    EXPECT_EQ(b.u.lapd.state(), Lapd::State::established);
    EXPECT_EQ(b.u.lapd.counters().tx_i, 2u);
}

TEST(Lapd, AFrameOutOfSequenceIsRejectedAndEverythingFromTheGapSentAgain) {
    BackToBack b;
    b.establish();
    int i_frames = 0;
    b.line.lose = [&](LapdEnd const& from, Bytes const& f) {
        return &from == &b.u && f.size() > 4 && ++i_frames == 2;
    };
    for (unsigned m = 1; m <= 3; ++m) b.u.send(Message(m));
    ASSERT_TRUE(runUntil([&] { return b.n.received.size() == 3 && b.u.lapd.unacked() == 0; }));
    runFor(20);
    EXPECT_EQ(b.log, (Log{"u 00 01 00 00 08 01 00 01 05", "u 00 01 02 00 08 01 00 02 05 lost",
                          "u 00 01 04 00 08 01 00 03 05", "n 00 01 01 02", "n 00 01 09 02",
                          "u 00 01 02 00 08 01 00 02 05", "u 00 01 04 00 08 01 00 03 05",
                          "n 00 01 01 04", "n 00 01 01 06"}));
    EXPECT_EQ(b.n.received, (std::vector<Bytes>{Message(1), Message(2), Message(3)}));
    EXPECT_EQ(b.u.lapd.counters().rejected, 1u);
}

TEST(Lapd, ABusyPeerHoldsTheIFramesUntilItIsReadyAndTheLinkReportsCongestion) {
    Lone l;
    l.u.give("00 01 05 00");  // RNR
    EXPECT_TRUE(l.u.lapd.peer_busy());
    EXPECT_EQ(l.u.send(Message(1)), Lapd::SendResult::queued);
    EXPECT_TRUE(l.log.empty());
    // T203 polls the busy peer, which answers it still is.
    ASSERT_TRUE(runUntil([&] { return !l.log.empty(); }));
    EXPECT_EQ(l.u.lapd.state(), Lapd::State::timer_recovery);
    l.u.give("00 01 05 01");
    EXPECT_EQ(l.u.lapd.state(), Lapd::State::established);
    EXPECT_EQ(l.log, (Log{"u 00 01 01 01"}));
    l.u.give("00 01 01 00");  // RR: ready again
    EXPECT_EQ(l.log, (Log{"u 00 01 01 01", "u 00 01 00 00 08 01 00 01 05"}));
    EXPECT_EQ(l.u.congestion, (std::vector<bool>{true, false}));
}

TEST(Lapd, APeerThatStopsAnsweringTakesTheLinkDownAfterN200RetriesOfEachKind) {
    Lone l;
    l.u.send(Message(1));
    ASSERT_TRUE(runUntil([&] { return l.u.downs == 1; }));
    std::string const i = "u 00 01 00 00 08 01 00 01 05";
    std::string const i_poll = "u 00 01 00 01 08 01 00 01 05";
    std::string const sabme = "u 00 01 7F";
    EXPECT_EQ(l.log, (Log{i, i_poll, i_poll, i_poll, sabme, sabme, sabme, sabme}));
    EXPECT_EQ(l.u.errors, "IG");
    EXPECT_EQ(l.u.lapd.state(), Lapd::State::tei_assigned);
    EXPECT_EQ(l.u.lapd.counters().retrains, 1u);
    EXPECT_EQ(l.u.lapd.waiting() + l.u.lapd.unacked(), 0u);
    EXPECT_EQ(l.u.send(Message(2)), Lapd::SendResult::not_established);
}

TEST(Lapd, ADiscReleasesTheLinkAndThePeerMayEstablishItAgain) {
    Lone l;
    l.u.give("02 01 53");
    EXPECT_EQ(l.u.downs, 1);
    EXPECT_EQ(l.u.lapd.state(), Lapd::State::tei_assigned);
    l.u.give("02 01 7F");
    EXPECT_EQ(l.u.ups, 2);
    EXPECT_EQ(l.log, (Log{"u 02 01 73", "u 02 01 73"}));
}

TEST(Lapd, AFailedLineReleasesTheLinkAtOnceAndDropsItsMessages) {
    Lone l;
    l.u.send(Message(1));
    l.u.lapd.LineDown();
    EXPECT_EQ(l.u.downs, 1);
    EXPECT_EQ(l.u.lapd.state(), Lapd::State::tei_assigned);
    EXPECT_EQ(l.u.lapd.waiting() + l.u.lapd.unacked(), 0u);
    EXPECT_FALSE(l.u.lapd.t200_running() || l.u.lapd.t203_running());
    l.u.lapd.LineDown();
    EXPECT_EQ(l.u.downs, 1);
}

TEST(Lapd, ReleaseByLayer3EndsBothEndsAndARefusedEstablishmentGetsDm) {
    BackToBack b;
    b.establish();
    b.u.lapd.Release();
    ASSERT_TRUE(runUntil([&] { return b.u.downs == 1 && b.n.downs == 1; }));
    b.n.lapd.Establish();
    ASSERT_TRUE(runUntil([&] { return b.n.downs == 2; }));
    EXPECT_EQ(b.log, (Log{"u 00 01 53", "n 00 01 73", "n 02 01 7F", "u 02 01 1F"}));
    EXPECT_EQ(b.u.lapd.state(), Lapd::State::tei_assigned);
    EXPECT_EQ(b.n.lapd.state(), Lapd::State::tei_assigned);
}

TEST(Lapd, T203PollsAnIdleLink) {
    Lone l;
    ASSERT_TRUE(runUntil([&] { return !l.log.empty(); }, 1000));
    EXPECT_EQ(l.log, (Log{"u 00 01 01 01"}));
    l.u.give("00 01 01 01");
    EXPECT_EQ(l.u.lapd.state(), Lapd::State::established);
    EXPECT_TRUE(l.u.lapd.t203_running());
}

TEST(Lapd, FramesInErrorAreCountedAndNeverReadPastTheirEnd) {
    struct Case {
        char const* what;
        char const* frame;
        Log sent;
        char const* errors;
        Lapd::State state;
    };
    std::string const sabme = "u 00 01 7F";
    Case const cases[] = {
        {"one octet", "00", {}, "N", Lapd::State::established},
        {"address only", "02 01", {}, "N", Lapd::State::established},
        {"I-frame without its second control octet", "02 01 00", {sabme}, "N",
         Lapd::State::awaiting_establishment},
        {"undefined control field", "02 01 FF", {sabme}, "L", Lapd::State::awaiting_establishment},
        {"I-frame as a response", "00 01 00 00 08", {sabme}, "L",
         Lapd::State::awaiting_establishment},
        {"RR with an information field", "00 01 01 00 55", {sabme}, "M",
         Lapd::State::awaiting_establishment},
        {"I-frame longer than N201", "02 01 00 00 01 02 03 04 05 06 07 08 09", {sabme}, "O",
         Lapd::State::awaiting_establishment},
        {"I-frame acknowledging a frame never sent", "02 01 00 0A 08", {sabme}, "J",
         Lapd::State::awaiting_establishment},
        {"RR acknowledging a frame never sent", "00 01 01 0A", {sabme}, "J",
         Lapd::State::awaiting_establishment},
        {"another TEI's frame", "02 03 00 00 08", {}, "", Lapd::State::established},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        ISDN::LapdParams params = Params(ISDN::Side::user);
        params.n201 = 8;
        Lone l(params);
        l.u.give(c.frame);
        EXPECT_EQ(l.log, c.sent);
        EXPECT_EQ(l.u.errors, c.errors);
        EXPECT_EQ(l.u.lapd.state(), c.state);
    }
    Lone l;
    l.u.give("02 01 00 0A 08");
    EXPECT_EQ(l.u.lapd.counters().bad_confirm, 1u);
    EXPECT_EQ(l.u.lapd.counters().retrains, 1u);
}

TEST(Lapd, RefusesMessagesItCannotCarryAndBoundsItsQueue) {
    ISDN::LapdParams params = Params(ISDN::Side::user, 1);
    params.n201 = 8;
    params.queue_limit = 2;
    Log log;
    LapdEnd u("u", params, log);
    EXPECT_EQ(u.send(Message(1)), Lapd::SendResult::not_established);
    u.lapd.Establish();
    u.give("00 01 73");
    EXPECT_EQ(u.send(Bytes(9, 0x55)), Lapd::SendResult::too_long);
    EXPECT_EQ(u.send(Bytes(8, 0x55)), Lapd::SendResult::queued);
    EXPECT_EQ(u.send(Message(2)), Lapd::SendResult::queued);
    EXPECT_EQ(u.send(Message(3)), Lapd::SendResult::queued);
    EXPECT_TRUE(u.lapd.congested());
    EXPECT_EQ(u.send(Message(4)), Lapd::SendResult::queue_full);
    EXPECT_EQ(u.lapd.counters().out_overflows, 1u);
    EXPECT_EQ(u.lapd.counters().ack_overflows, 2u);
    u.give("00 01 01 02");  // RR N(R) 1: the window moves on
    EXPECT_EQ(u.congestion, (std::vector<bool>{true, false}));
    EXPECT_EQ(log.back(), "u 00 01 02 00 08 01 00 02 05");
}

TEST(Lapd, APeerResetDropsWhatItHadNotAcknowledgedAndIndicatesTheLinkAgain) {
    Lone l;
    l.u.send(Message(1));
    l.u.send(Message(2));
    l.u.give("00 01 09 00");  // REJ N(R) 0: both go again
    l.u.give("02 01 7F");     // then the peer resets the link
    EXPECT_EQ(l.log, (Log{"u 00 01 00 00 08 01 00 01 05", "u 00 01 02 00 08 01 00 02 05",
                          "u 00 01 00 00 08 01 00 01 05", "u 00 01 02 00 08 01 00 02 05",
                          "u 02 01 73"}));
    EXPECT_EQ(l.u.errors, "F");
    EXPECT_EQ(l.u.ups, 2);
    EXPECT_EQ(l.u.lapd.waiting() + l.u.lapd.unacked(), 0u);
    EXPECT_EQ(l.u.lapd.vs(), 0);
    // Nothing was outstanding: the reset is only counted.
    l.u.give("02 01 7F");
    EXPECT_EQ(l.u.ups, 2);
    EXPECT_EQ(l.u.lapd.counters().retrains, 2u);
}
