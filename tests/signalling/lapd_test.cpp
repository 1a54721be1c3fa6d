// The LAPD entity where the server's slots cannot take it: the C/R bits of
// each side, and frames in error handed to an end in storage of their own
// size. Frames are compared whole, as the channel carries them.

#include "signalling/isdn/lapd.h"

#include <gtest/gtest.h>

#include "tests/support/lapd_end.h"
#include "tests/support/loop.h"

using namespace support;
using ISDN::Lapd;
using Log = std::vector<std::string>;

namespace {

ISDN::LapdParams Params(ISDN::Side side) {
    ISDN::LapdParams p;
    p.side = side;
    p.t200_ms = 40;
    p.t203_ms = 150;
    return p;
}

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

TEST(Lapd, EachSideSetsTheCrBitOfItsCommandsAndResponses) {
    struct Case {
        ISDN::Side side;
        char const* ua;         // the peer's answer to the SABME
        char const* peer_i;     // the peer's I-frame, acknowledging ours
        char const* delivered;  // its message
        Log sent;
    };
    Case const cases[] = {
        {ISDN::Side::user, "00 01 73", "02 01 00 02 08 01 85 01", "08 01 85 01",
         {"u 00 01 7F", "u 00 01 00 00 08 01 05 05", "u 02 01 01 02"}},
        {ISDN::Side::network, "02 01 73", "00 01 00 02 08 01 05 05", "08 01 05 05",
         {"n 02 01 7F", "n 02 01 00 00 08 01 05 05", "n 00 01 01 02"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.sent.front());
        Log log;
        LapdEnd e(c.side == ISDN::Side::user ? "u" : "n", Params(c.side), log);
        e.lapd.Establish();
        e.give(c.ua);
        EXPECT_EQ(e.ups, 1);
        EXPECT_EQ(e.send(hex("08 01 05 05")), Lapd::SendResult::queued);
        e.give(c.peer_i);
        ASSERT_TRUE(runUntil([&] { return log.size() == 3; }));
        EXPECT_EQ(log, c.sent);
        EXPECT_EQ(e.received, (std::vector<Bytes>{hex(c.delivered)}));
    }
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
