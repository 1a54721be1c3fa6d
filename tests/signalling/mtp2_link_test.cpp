// The SS7 link level in virtual time: two links back to back, or one
// against a far end that the test plays unit by unit. Each test compares the
// whole transcript: every signal unit on the line, what the link tells its
// user, its state changes (with their reasons) and its timer expiries, after
// the millisecond they happened. The test timers: T1 2000, T2 1500, T3 600,
// T4 1000 (emergency 300), T6 1500, T7 500, the fill-in repetition 400.

#include "signalling/ss7/mtp2_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/mtp2_end.h"

using namespace support;
using Ss7::Mtp2Link;

namespace {

// A link in service against the far end z, the transcript then cleared.
struct Lone {
    Lone() : a(bench, "a") {
        a.start();
        a.give("FF FF 01 00");  // SIO
        for (unsigned t : {400, 400, 200}) {  // SIN until T4 ends the proving at 1000
            a.give("FF FF 01 01");
            bench.Advance(t);
        }
        a.give("FF FF 00");  // the far end's fill-in unit
        EXPECT_EQ(a.link.state(), Mtp2Link::State::in_service);
        bench.transcript.Clear();
    }
    Bench bench;
    Mtp2End a;
};

// Two links back to back, not yet started.
struct Pair {
    Pair() : a(bench, "a"), b(bench, "b") {}
    void up() {
        a.start();
        b.start();
        bench.Advance(1500);
        ASSERT_EQ(a.link.state(), Mtp2Link::State::in_service);
        ASSERT_EQ(b.link.state(), Mtp2Link::State::in_service);
        bench.transcript.Clear();
    }
    Bench bench;
    Mtp2End a;
    Mtp2End b;
};

}  // namespace

TEST(Mtp2ErrorCorrection, CountsAndDropsMalformedUnitsWithoutReadingPastThem) {
    Lone l;
    for (char const* unit :
         {"FF", "FF FF", "FF FF 05 01 02", "FF FF 3F 01 02 03", "FF FF 01 07", "FF FF 02 01 00"}) {
        SCOPED_TRACE(unit);
        l.a.give(unit);
    }
    // The last is a two-octet status unit: SIN, which ends the service.
    EXPECT_EQ(l.a.link.counters().bad_units, 5u);
    EXPECT_TRUE(l.a.received.empty());
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
  1000 z> malformed FF
  1000 z> malformed FF FF
  1000 z> malformed FF FF 05 01 02
  1000 z> malformed FF FF 3F 01 02 03
  1000 z> malformed FF FF 01 07
  1000 z> LSSU SIN bsn 127/1 fsn 127/1 li 2
  1000 a> LSSU SIOS bsn 127/1 fsn 127/1 li 1
  1000 a state "idle": the peer's status unit in service
  1000 a out of service
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(l.bench.transcript), "");
}

TEST(Mtp2Transcript, BackToBackLinksAlignProveAndComeIntoService) {
    Pair p;
    p.a.start();
    p.bench.Advance(300);
    p.b.start();
    p.bench.Advance(1300);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
     0 a start
     0 a state "not aligned": start
     0 a> LSSU SIO bsn 127/1 fsn 127/1 li 1
   300 b start
   300 b state "not aligned": start
   300 b> LSSU SIO bsn 127/1 fsn 127/1 li 1
   300 a state "aligned": the peer aligns
   300 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
   300 b state "aligned": the peer aligns
   300 b> LSSU SIN bsn 127/1 fsn 127/1 li 1
   300 a state "proving": normal proving
   300 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
   300 b state "proving": normal proving
   300 b> LSSU SIN bsn 127/1 fsn 127/1 li 1
   400 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
   700 b> LSSU SIN bsn 127/1 fsn 127/1 li 1
   800 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1100 b> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1200 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1300 a T4 expired
  1300 a state "aligned ready": proving done
  1300 a> FISU bsn 127/1 fsn 127/1 li 0
  1300 b T4 expired
  1300 b state "aligned ready": proving done
  1300 b> FISU bsn 127/1 fsn 127/1 li 0
  1300 a state "in service": the peer's fill-in or message units
  1300 a in service
  1500 b> FISU bsn 127/1 fsn 127/1 li 0
  1600 a> FISU bsn 127/1 fsn 127/1 li 0
  1600 b state "in service": the peer's fill-in or message units
  1600 b in service
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(p.bench.transcript), "");
}

TEST(Mtp2Transcript, AnEmergencyAtOneEndShortensTheProvingOfBoth) {
    Pair p;
    p.a.start(true);
    p.b.start();
    p.bench.Advance(400);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
     0 a start emergency
     0 a state "not aligned": start, emergency
     0 a> LSSU SIO bsn 127/1 fsn 127/1 li 1
     0 b start
     0 b state "not aligned": start
     0 b> LSSU SIO bsn 127/1 fsn 127/1 li 1
     0 a state "aligned": the peer aligns
     0 a> LSSU SIE bsn 127/1 fsn 127/1 li 1
     0 b state "aligned": the peer aligns
     0 b> LSSU SIN bsn 127/1 fsn 127/1 li 1
     0 a state "proving": emergency proving
     0 a> LSSU SIE bsn 127/1 fsn 127/1 li 1
     0 b state "proving": emergency proving
     0 b> LSSU SIN bsn 127/1 fsn 127/1 li 1
   300 a T4 expired
   300 a state "aligned ready": proving done
   300 a> FISU bsn 127/1 fsn 127/1 li 0
   300 b T4 expired
   300 b state "aligned ready": proving done
   300 b> FISU bsn 127/1 fsn 127/1 li 0
   300 a state "in service": the peer's fill-in or message units
   300 a in service
   400 a> FISU bsn 127/1 fsn 127/1 li 0
   400 b state "in service": the peer's fill-in or message units
   400 b in service
   400 b> FISU bsn 127/1 fsn 127/1 li 0
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(p.bench.transcript), "");
}

TEST(Mtp2Transcript, AlignmentTimersEndALinkWhoseFarEndStopsShortOfService) {
    // The far end sends its units at 0, then repeats one every 400 ms; the
    // transcript is cleared at `from`.
    struct Case {
        std::vector<char const*> given;
        char const* repeated;
        unsigned from, until;
        char const* transcript;
    };
    Case const cases[] = {
        {{}, nullptr, 1200, 1600, R"(
  1500 a T2 expired
  1500 a> LSSU SIOS bsn 127/1 fsn 127/1 li 1
  1500 a state "idle": alignment not possible: T2
  1500 a out of service
)"},
        {{"FF FF 01 00"}, nullptr, 400, 800, R"(
   600 a T3 expired
   600 a> LSSU SIOS bsn 127/1 fsn 127/1 li 1
   600 a state "idle": alignment not possible: T3
   600 a out of service
)"},
        // Proved at 1000 (T4), but the far end goes on with SIN.
        {{"FF FF 01 00"}, "FF FF 01 01", 2800, 3200, R"(
  2800 z> LSSU SIN bsn 127/1 fsn 127/1 li 1
  3000 a T1 expired
  3000 a> LSSU SIOS bsn 127/1 fsn 127/1 li 1
  3000 a state "idle": T1: the peer did not come into service
  3000 a out of service
)"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(Script(c.transcript));
        Bench bench;
        Mtp2End a(bench, "a");
        a.start();
        for (char const* unit : c.given) a.give(unit);
        for (unsigned t = 0; t < c.until; t += 400) {
            if (t == c.from) bench.transcript.Clear();
            if (c.repeated) a.give(c.repeated);
            bench.Advance(400);
        }
        EXPECT_EQ(bench.transcript.Text(), Script(c.transcript));
        EXPECT_EQ(Mtp2DissectionDiffers(bench.transcript), "");
    }
}

TEST(Mtp2Transcript, AProvingSpoiltByErrorsIsFollowedByASecondOne) {
    Bench bench;
    Mtp2End a(bench, "a");
    a.start();
    a.give("FF FF 01 00");  // SIO
    a.give("FF FF 01 01");  // SIN: proving
    bench.transcript.Clear();
    a.link.traces().mtp_activate = true;
    for (int i = 0; i < 4; ++i) a.give("FF FF 05 01");  // a length indicator past the unit
    a.link.traces().mtp_activate = false;
    bench.Advance(400);
    for (int i = 0; i < 4; ++i) {
        a.give("FF FF 01 01");
        bench.Advance(400);
    }
    EXPECT_EQ(a.link.state(), Mtp2Link::State::aligned_ready);
    EXPECT_EQ(bench.transcript.Text(), Script(R"(
     0 z> malformed FF FF 05 01
     0 z> malformed FF FF 05 01
     0 z> malformed FF FF 05 01
     0 z> malformed FF FF 05 01
     0 a proving spoilt by errors
   400 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
   400 z> LSSU SIN bsn 127/1 fsn 127/1 li 1
   800 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
   800 z> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1000 a T4 expired
  1200 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1200 z> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1600 a> LSSU SIN bsn 127/1 fsn 127/1 li 1
  1600 z> LSSU SIN bsn 127/1 fsn 127/1 li 1
  2000 a T4 expired
  2000 a state "aligned ready": proving done
  2000 a> FISU bsn 127/1 fsn 127/1 li 0
  2000 a> FISU bsn 127/1 fsn 127/1 li 0
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(bench.transcript), "");
}

TEST(Mtp2Transcript, FiveSpoiltProvingsEndTheAlignment) {
    Bench bench;
    Mtp2End a(bench, "a");
    a.start();
    a.give("FF FF 01 00");
    a.give("FF FF 01 01");
    for (int period = 0; period < 5; ++period) {
        if (period == 4) bench.transcript.Clear();  // the fifth proving
        for (int i = 0; i < 4; ++i) a.give("FF FF 05 01");
        bench.Advance(1000);
    }
    EXPECT_EQ(a.link.state(), Mtp2Link::State::idle);
    EXPECT_EQ(bench.transcript.Text(), Script(R"(
  4000 z> malformed FF FF 05 01
  4000 z> malformed FF FF 05 01
  4000 z> malformed FF FF 05 01
  4000 a> LSSU SIOS bsn 127/1 fsn 127/1 li 1
  4000 a state "idle": alignment not possible: proving failed
  4000 a out of service
  4000 z> malformed FF FF 05 01
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(bench.transcript), "");
}

TEST(Mtp2Transcript, T7EndsALinkWhoseUnitsStayUnacknowledged) {
    Lone l;
    l.a.send(hex("0A 01 00 00 00 20"));
    l.a.give("FF FF 00");  // acknowledges nothing
    l.bench.Advance(600);
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
  1000 a> MSU bsn 127/1 fsn 0/1 octets 6 li 6
  1000 z> FISU bsn 127/1 fsn 127/1 li 0
  1200 a> FISU bsn 127/1 fsn 0/1 li 0
  1500 a T7 expired
  1500 a> LSSU SIOS bsn 127/1 fsn 0/1 li 1
  1500 a state "idle": acknowledgement delayed
  1500 a out of service
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(l.bench.transcript), "");
}

TEST(Mtp2Transcript, ABusyFarEndHoldsOffT7UntilT6EndsTheLink) {
    Lone l;
    l.a.link.traces().msu_processing = true;
    l.a.send(hex("0A 01 00 00 00 20"));
    l.a.give("FF FF 01 05");  // SIB: busy, T7 gives way to T6
    l.bench.Advance(1000);
    l.a.give("80 FF 00");  // acknowledges the unit: no longer busy
    l.a.give("FF FF 01 05");  // busy again, for longer than T6
    l.bench.Advance(1500);
    EXPECT_EQ(l.bench.transcript.Text(), Script(R"(
  1000 a send fsn 0, 6 octets
  1000 a> MSU bsn 127/1 fsn 0/1 octets 6 li 6
  1000 z> LSSU SIB bsn 127/1 fsn 127/1 li 1
  1000 a peer busy
  1200 a> FISU bsn 127/1 fsn 0/1 li 0
  1600 a> FISU bsn 127/1 fsn 0/1 li 0
  2000 a> FISU bsn 127/1 fsn 0/1 li 0
  2000 z> FISU bsn 0/1 fsn 127/1 li 0
  2000 a peer no longer busy
  2000 a acknowledged up to 0
  2000 z> LSSU SIB bsn 127/1 fsn 127/1 li 1
  2000 a peer busy
  2400 a> FISU bsn 127/1 fsn 0/1 li 0
  2800 a> FISU bsn 127/1 fsn 0/1 li 0
  3200 a> FISU bsn 127/1 fsn 0/1 li 0
  3500 a T6 expired
  3500 a> LSSU SIOS bsn 127/1 fsn 0/1 li 1
  3500 a state "idle": the peer stayed busy
  3500 a out of service
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(l.bench.transcript), "");
}

TEST(Mtp2Transcript, AUnitLostOnTheLineIsAskedForByTheBackwardIndicatorAndSentAgain) {
    Pair p;
    p.up();
    p.b.link.traces().msu_processing = true;
    int sent = 0;
    p.a.lose = [&](Bytes const& unit) { return unit[2] != 0 && (unit[2] & 0x3F) > 2 && ++sent == 2; };
    p.a.send(hex("0A 01 00 00 00 21"));
    p.a.send(hex("0A 01 00 00 00 22"));
    p.a.send(hex("0A 01 00 00 00 23"));
    p.bench.Advance(0);
    EXPECT_EQ(p.a.link.counters().repeated, 2u);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
  1500 a> MSU bsn 127/1 fsn 0/1 octets 6 li 6
  1500 b accept fsn 0, 6 octets
  1500 b message 0A 01 00 00 00 21
  1500 a> MSU bsn 127/1 fsn 1/1 octets 6 li 6 (lost)
  1500 a> MSU bsn 127/1 fsn 2/1 octets 6 li 6
  1500 b sequence gap at fsn 2, expected 1
  1500 b> FISU bsn 0/0 fsn 127/1 li 0
  1500 a> MSU bsn 127/1 fsn 1/0 octets 6 li 6
  1500 a> MSU bsn 127/1 fsn 2/0 octets 6 li 6
  1500 b accept fsn 1, 6 octets
  1500 b message 0A 01 00 00 00 22
  1500 b accept fsn 2, 6 octets
  1500 b message 0A 01 00 00 00 23
  1500 b> FISU bsn 2/0 fsn 127/1 li 0
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(p.bench.transcript), "");
}

TEST(Mtp2Transcript, SequenceNumbersWrapFrom127To0) {
    Pair p;
    p.up();
    for (int i = 0; i < 126; ++i) {
        p.a.send(Bytes{0x0A, 0x01, 0x00, 0x00, 0x00, uint8_t(i)});
        p.bench.Advance(0);
    }
    p.bench.transcript.Clear();
    for (int i = 0; i < 4; ++i) {
        p.a.send(Bytes{0x0A, 0x01, 0x00, 0x00, 0x00, uint8_t(0xA0 + i)});
        p.bench.Advance(0);
    }
    EXPECT_EQ(p.b.received.size(), 130u);
    EXPECT_EQ(p.b.link.bsn(), 1u);
    EXPECT_EQ(p.bench.transcript.Text(), Script(R"(
  1500 a> MSU bsn 127/1 fsn 126/1 octets 6 li 6
  1500 b message 0A 01 00 00 00 A0
  1500 b> FISU bsn 126/1 fsn 127/1 li 0
  1500 a> MSU bsn 127/1 fsn 127/1 octets 6 li 6
  1500 b message 0A 01 00 00 00 A1
  1500 b> FISU bsn 127/1 fsn 127/1 li 0
  1500 a> MSU bsn 127/1 fsn 0/1 octets 6 li 6
  1500 b message 0A 01 00 00 00 A2
  1500 b> FISU bsn 0/1 fsn 127/1 li 0
  1500 a> MSU bsn 127/1 fsn 1/1 octets 6 li 6
  1500 b message 0A 01 00 00 00 A3
  1500 b> FISU bsn 1/1 fsn 127/1 li 0
)"));
    EXPECT_EQ(Mtp2DissectionDiffers(p.bench.transcript), "");
}
