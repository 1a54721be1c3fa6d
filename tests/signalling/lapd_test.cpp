// LAPD in virtual time: two entities back to back, or one against a far end
// that the test plays frame by frame. Each test compares the whole
// transcript: every frame on the line, indication, fault, state change and
// timer expiry, after the millisecond it happened.

#include "signalling/isdn/lapd.h"

#include <gtest/gtest.h>

#include "tests/support/lapd_end.h"

using namespace support;
using ISDN::Lapd;

namespace {

ISDN::LapdParams Params(ISDN::Side side) {
    ISDN::LapdParams p;
    p.side = side;  // T200 1 s, T203 10 s, N200 3, k 7
    return p;
}

// A user end brought up by the network's UA, the transcript then cleared.
struct Lone {
    explicit Lone(ISDN::LapdParams const& params = Params(ISDN::Side::user))
        : u(bench, "u", params) {
        u.establish();
        u.give("00 01 73");
        EXPECT_EQ(u.lapd.state(), Lapd::State::established);
        bench.transcript.Clear();
    }
    Bench bench;
    LapdEnd u;
};

// A user and a network end back to back, the link up.
struct Pair {
    Pair() : u(bench, "u", Params(ISDN::Side::user)), n(bench, "n", Params(ISDN::Side::network)) {
        n.establish();  // refused with DM: the user is not yet activated
        u.establish();
        bench.transcript.Clear();
    }
    Bench bench;
    LapdEnd u;
    LapdEnd n;
};

}  // namespace

TEST(Lapd, EachSideSetsTheCrBitOfItsCommandsAndResponses) {
    struct Case {
        ISDN::Side side;
        char const* ua;      // the peer's answer to the SABME
        char const* peer_i;  // the peer's I-frame, acknowledging ours
        std::vector<std::string> sent;  // SABME, I, RR
    };
    Case const cases[] = {
        {ISDN::Side::user, "00 01 73", "02 01 00 02 08 01 85 01",
         {"00 01 7F", "00 01 00 00 08 01 05 05", "02 01 01 02"}},
        {ISDN::Side::network, "02 01 73", "00 01 00 02 08 01 05 05",
         {"02 01 7F", "02 01 00 00 08 01 05 05", "00 01 01 02"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.ua);
        Bench bench;
        LapdEnd e(bench, c.side == ISDN::Side::user ? "u" : "n", Params(c.side));
        e.establish();
        e.give(c.ua);
        EXPECT_EQ(e.send(hex("08 01 05 05")), Lapd::SendResult::queued);
        e.give(c.peer_i);
        std::vector<std::string> sent;
        for (auto const& [line, frame] : bench.transcript.frames)
            if (bench.transcript.lines[line].find(e.name + "> ") != std::string::npos)
                sent.push_back(text(frame));
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(e.received.size(), 1u);
        EXPECT_EQ(LapdDissectionDiffers(bench.transcript), "");  // the C/R bits too
    }
}

TEST(Lapd, FramesInErrorAreCountedAndNeverReadPastTheirEnd) {
    struct Case {
        char const* what;
        char const* frame;
        char const* errors;
        Lapd::State state;  // a frame rejection re-establishes the link
    };
    Case const cases[] = {
        {"one octet", "00", "-", Lapd::State::established},
        {"address only", "02 01", "-", Lapd::State::established},
        {"I-frame without its second control octet", "02 01 00", "-", Lapd::State::established},
        {"RR without its second control octet", "00 01 01", "-", Lapd::State::established},
        {"undefined control field", "02 01 FF", "L", Lapd::State::awaiting_establishment},
        {"I-frame as a response", "00 01 00 00 08", "L", Lapd::State::awaiting_establishment},
        {"RR with an information field", "00 01 01 00 55", "M",
         Lapd::State::awaiting_establishment},
        {"I-frame longer than N201", "02 01 00 00 01 02 03 04 05 06 07 08 09", "O",
         Lapd::State::awaiting_establishment},
        {"I-frame acknowledging a frame never sent", "02 01 00 0A 08", "J",
         Lapd::State::awaiting_establishment},
        {"RR acknowledging a frame never sent", "00 01 01 0A", "J",
         Lapd::State::awaiting_establishment},
        {"another TEI's frame", "02 03 00 00 08", "", Lapd::State::established},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        ISDN::LapdParams params = Params(ISDN::Side::user);
        params.n201 = 8;
        Lone l(params);
        l.u.give(c.frame);
        EXPECT_EQ(l.u.errors, c.errors);
        EXPECT_EQ(l.u.lapd.state(), c.state);
        bool const reestablished = c.state == Lapd::State::awaiting_establishment;
        EXPECT_EQ(l.u.lapd.counters().retrains, reestablished ? 1u : 0u);
        EXPECT_EQ(l.u.lapd.counters().invalid, std::string(c.errors) == "-" ? 1u : 0u);
    }
}

// The four departures from Q.921 that the far end showed, each against a
// far end that plays the frames.

TEST(LapdTranscript, AnIOrSupervisoryFrameCutInItsControlFieldIsDiscardedWithoutAction) {
    Lone l;
    l.u.send(hex("08 01 05 05"));
    l.u.send(hex("08 01 06 05"));
    l.u.give("02 01 00");  // an I-frame of three octets
    l.u.give("00 01 01");  // an RR of three octets
    l.bench.Advance(500);
    l.u.give("00 01 01 04");  // RR acknowledging both
    l.bench.Advance(10000);
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
     0 u send 08 01 05 05
     0 u> I ns=0 nr=0 p=0 08 01 05 05
     0 u send 08 01 06 05
     0 u> I ns=1 nr=0 p=0 08 01 06 05
     0 n> invalid 02 01 00
     0 u error invalid frame: frame shorter than its control field
     0 n> invalid 00 01 01
     0 u error invalid frame: frame shorter than its control field
   500 n> RR rsp nr=2 f=0
 10500 u T203 expired
 10500 u> RR cmd nr=0 p=1
 10500 u state timer-recovery
)"));
    EXPECT_EQ(LapdDissectionDiffers(l.bench.transcript), "");
}

TEST(LapdTranscript, AnRnrRestartsT200AndItsExpiryPollsTheBusyPeer) {
    Lone l;
    l.u.send(hex("08 01 05 05"));
    l.bench.Advance(400);
    l.u.give("00 01 05 02");  // RNR rsp nr=1, f=0
    l.u.send(hex("08 01 06 05"));
    l.bench.Advance(1000);
    l.u.give("00 01 05 03");  // RNR rsp nr=1, f=1: still busy
    l.bench.Advance(1000);
    l.u.give("00 01 01 03");  // RR rsp nr=1, f=1: ready again
    l.bench.Advance(0);
    l.u.give("00 01 01 04");  // RR rsp nr=2
    l.bench.Advance(10000);
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
     0 u send 08 01 05 05
     0 u> I ns=0 nr=0 p=0 08 01 05 05
   400 n> RNR rsp nr=1 f=0
   400 u congested
   400 u send 08 01 06 05
  1400 u T200 expired
  1400 u> RR cmd nr=0 p=1
  1400 u state timer-recovery
  1400 n> RNR rsp nr=1 f=1
  1400 u state multiple-frame-established
  2400 u T200 expired
  2400 u> RR cmd nr=0 p=1
  2400 u state timer-recovery
  2400 n> RR rsp nr=1 f=1
  2400 u> I ns=1 nr=0 p=0 08 01 06 05
  2400 u not congested
  2400 u state multiple-frame-established
  2400 n> RR rsp nr=2 f=0
 12400 u T203 expired
 12400 u> RR cmd nr=0 p=1
 12400 u state timer-recovery
)"));
    EXPECT_EQ(LapdDissectionDiffers(l.bench.transcript), "");
}

TEST(LapdTranscript, AnEstablishmentAskedForByLayer3DiscardsTheQueuedFrames) {
    Lone l;
    l.u.send(hex("08 01 05 05"));
    l.u.give("00 01 0F");  // DM rsp f=0: the peer asks for establishment
    l.u.establish();       // the controller's activate meanwhile
    l.u.give("00 01 73");  // UA
    l.u.send(hex("08 01 06 05"));
    l.u.give("00 01 01 02");  // RR nr=1
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
     0 u send 08 01 05 05
     0 u> I ns=0 nr=0 p=0 08 01 05 05
     0 n> DM rsp f=0
     0 u error E: peer asks for establishment
     0 u> SABME cmd p=1
     0 u state awaiting-establishment
     0 u establish
     0 n> UA rsp f=1
     0 u up
     0 u state multiple-frame-established
     0 u send 08 01 06 05
     0 u> I ns=0 nr=0 p=0 08 01 06 05
     0 n> RR rsp nr=1 f=0
)"));
    EXPECT_EQ(LapdDissectionDiffers(l.bench.transcript), "");
}

TEST(LapdTranscript, APeersSabmeInMultipleFrameOperationStopsT200AndStartsT203) {
    Lone l;
    l.u.send(hex("08 01 05 05"));
    l.bench.Advance(300);
    l.u.give("02 01 7F");  // SABME cmd p=1: the peer resets the link
    l.bench.Advance(10000);
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
     0 u send 08 01 05 05
     0 u> I ns=0 nr=0 p=0 08 01 05 05
   300 n> SABME cmd p=1
   300 u> UA rsp f=1
   300 u error F: peer re-established the link
   300 u up
 10300 u T203 expired
 10300 u> RR cmd nr=0 p=1
 10300 u state timer-recovery
)"));
    EXPECT_EQ(LapdDissectionDiffers(l.bench.transcript), "");
}

// Procedures no other test shows, back to back.

TEST(LapdTranscript, AnIFrameLostOnTheLineIsAskedForAgainWithRej) {
    Pair p;
    int sent = 0;
    p.u.lose = [&](Bytes const& frame) { return (frame[2] & 1) == 0 && ++sent == 2; };
    p.u.send(hex("08 01 01 05"));
    p.u.send(hex("08 01 02 05"));
    p.u.send(hex("08 01 03 05"));
    p.bench.Advance(2000);
    EXPECT_EQ(p.u.lapd.counters().rejected, 1u);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
     0 u send 08 01 01 05
     0 u> I ns=0 nr=0 p=0 08 01 01 05
     0 n data 08 01 01 05
     0 n> RR rsp nr=1 f=0
     0 u send 08 01 02 05
     0 u> I ns=1 nr=0 p=0 08 01 02 05 (lost)
     0 u send 08 01 03 05
     0 u> I ns=2 nr=0 p=0 08 01 03 05
     0 n> REJ rsp nr=1 f=0
     0 u> I ns=1 nr=0 p=0 08 01 02 05
     0 u> I ns=2 nr=0 p=0 08 01 03 05
     0 n data 08 01 02 05
     0 n> RR rsp nr=2 f=0
     0 n data 08 01 03 05
     0 n> RR rsp nr=3 f=0
)"));
    EXPECT_EQ(LapdDissectionDiffers(p.bench.transcript), "");
}

TEST(LapdTranscript, AnIdleLinkIsPolledAtEachT203AndResetAfterN200UnansweredPolls) {
    Pair p;
    p.bench.Advance(10000);
    p.n.lose = [](Bytes const&) { return true; };  // the network falls silent
    p.bench.Advance(14000);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
 10000 n T203 expired
 10000 n> RR cmd nr=0 p=1
 10000 n state timer-recovery
 10000 u> RR rsp nr=0 f=1
 10000 n state multiple-frame-established
 20000 u T203 expired
 20000 u> RR cmd nr=0 p=1
 20000 u state timer-recovery
 20000 n> RR rsp nr=0 f=1 (lost)
 21000 u T200 expired
 21000 u> RR cmd nr=0 p=1
 21000 n> RR rsp nr=0 f=1 (lost)
 22000 u T200 expired
 22000 u> RR cmd nr=0 p=1
 22000 n> RR rsp nr=0 f=1 (lost)
 23000 u T200 expired
 23000 u> RR cmd nr=0 p=1
 23000 n> RR rsp nr=0 f=1 (lost)
 24000 u T200 expired
 24000 u error I: no answer to N200 polls
 24000 u> SABME cmd p=1
 24000 u state awaiting-establishment
 24000 n> UA rsp f=1 (lost)
 24000 n error F: peer re-established the link
)"));
    EXPECT_EQ(LapdDissectionDiffers(p.bench.transcript), "");
}

TEST(LapdTranscript, APeerThatGaveUpPollingResetsTheLinkWithSabme) {
    Pair p;
    // The user's frames are lost until the network has polled N200 times.
    p.u.lose = [&](Bytes const&) { return p.bench.clock.now() < 4000; };
    p.n.send(hex("08 01 01 05"));
    p.bench.Advance(5000);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
     0 n send 08 01 01 05
     0 n> I ns=0 nr=0 p=0 08 01 01 05
     0 u data 08 01 01 05
     0 u> RR rsp nr=1 f=0 (lost)
  1000 n T200 expired
  1000 n> I ns=0 nr=0 p=1 08 01 01 05
  1000 n state timer-recovery
  1000 u> REJ rsp nr=1 f=1 (lost)
  2000 n T200 expired
  2000 n> I ns=0 nr=0 p=1 08 01 01 05
  2000 u> RR rsp nr=1 f=1 (lost)
  3000 n T200 expired
  3000 n> I ns=0 nr=0 p=1 08 01 01 05
  3000 u> RR rsp nr=1 f=1 (lost)
  4000 n T200 expired
  4000 n error I: no answer to N200 polls
  4000 n> SABME cmd p=1
  4000 n state awaiting-establishment
  4000 u> UA rsp f=1
  4000 u error F: peer re-established the link
  4000 n up
  4000 n state multiple-frame-established
)"));
    EXPECT_EQ(LapdDissectionDiffers(p.bench.transcript), "");
}
