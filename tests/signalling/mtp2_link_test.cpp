// The SS7 link level in-process on the loop's timers, with short timers:
// whole signal units out, scripted units in. (Two links back to back, the
// refusals and the full buffer are shown through the server program.)

#include "signalling/ss7/mtp2_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/loop.h"

using namespace support;
using Ss7::Mtp2Link;
using State = Mtp2Link::State;

namespace {

Mtp2Link::Timers shortTimers(unsigned fill = 100000) {
    Mtp2Link::Timers t;
    t.t1 = 150;
    t.t2 = 100;
    t.t3 = 60;
    t.t4n = 80;
    t.t4e = 20;
    t.t6 = 60;
    t.t7 = 60;
    t.fill = fill;
    return t;
}

// The link's far side as the test sees it: every unit sent, as text.
struct Line : Mtp2Link::User {
    explicit Line(Mtp2Link::Timers const& timers = shortTimers()) : link(*this, timers) {}

    void Transmit(uint8_t const* unit, size_t size) override {
        sent.push_back(text(Bytes(unit, unit + size)));
    }
    void OnMessage(uint8_t const* msu, size_t size) override {
        received.push_back(text(Bytes(msu, msu + size)));
    }
    void OnInService() override { events.push_back("in service"); }
    void OnOutOfService() override { events.push_back("out of service"); }

    void in(std::string const& unit) {
        Bytes const bytes = hex(unit);
        link.Receive(bytes.data(), bytes.size());
    }
    bool send(std::string const& msu) {
        Bytes const bytes = hex(msu);
        std::string reason;
        return link.Send(bytes.data(), bytes.size(), reason);
    }
    // The units sent since the last call.
    std::vector<std::string> taken() {
        std::vector<std::string> units;
        units.swap(sent);
        return units;
    }
    // Aligned with normal proving and in service, the units taken.
    void bringInService() {
        link.Start(false);
        in("FF FF 01 01");
        in("FF FF 01 01");
        ASSERT_TRUE(runUntil([&] { return link.state() == State::aligned_ready; }, 1000));
        in("FF FF 00");
        ASSERT_EQ(link.state(), State::in_service);
        taken();
        events.clear();
    }

    std::vector<std::string> sent;
    std::vector<std::string> received;
    std::vector<std::string> events;
    Mtp2Link link;
};

using Units = std::vector<std::string>;

}  // namespace

TEST(Mtp2Alignment, GoesThroughProvingIntoServiceWithTheUnitsOfEachState) {
    Line line;
    line.link.Start(false);
    EXPECT_EQ(line.taken(), Units{"FF FF 01 00"});  // SIO
    line.in("FF FF 01 00");
    EXPECT_EQ(line.link.state(), State::aligned);
    line.in("FF FF 01 01");
    EXPECT_EQ(line.link.state(), State::proving);
    EXPECT_EQ(line.taken(), (Units{"FF FF 01 01", "FF FF 01 01"}));  // SIN
    Clock::time_point const proving = Clock::now();
    ASSERT_TRUE(runUntil([&] { return line.link.state() == State::aligned_ready; }, 1000));
    EXPECT_GE(elapsedMs(proving), 75);
    EXPECT_EQ(line.taken(), Units{"FF FF 00"});  // FISU
    EXPECT_TRUE(line.events.empty());
    line.in("FF FF 00");
    EXPECT_EQ(line.link.state(), State::in_service);
    EXPECT_EQ(line.events, Units{"in service"});
}

TEST(Mtp2Alignment, EmergencyOnEitherSideProvesForTheShortPeriod) {
    for (bool local : {true, false}) {
        SCOPED_TRACE(local ? "local emergency" : "the peer's emergency");
        Line line;
        line.link.Start(local);
        line.in(local ? "FF FF 01 00" : "FF FF 01 02");
        line.in(local ? "FF FF 01 01" : "FF FF 01 02");
        EXPECT_EQ(line.taken(), (local ? Units{"FF FF 01 00", "FF FF 01 02", "FF FF 01 02"}
                                       : Units{"FF FF 01 00", "FF FF 01 01", "FF FF 01 01"}));
        Clock::time_point const proving = Clock::now();
        ASSERT_TRUE(runUntil([&] { return line.link.state() == State::aligned_ready; }, 1000));
        EXPECT_LT(elapsedMs(proving), 70);
    }
}

TEST(Mtp2Alignment, FailsBackToOutOfServiceWithAnOutOfServiceUnit) {
    struct Case {
        char const* name;
        std::vector<std::string> units;
    } const cases[] = {
        {"T2: the peer never aligns", {}},
        {"T3: no proving after alignment", {"FF FF 01 00"}},
        {"the peer out of service while aligned", {"FF FF 01 00", "FF FF 01 03"}},
        {"the peer out of service while proving", {"FF FF 01 01", "FF FF 01 01", "FF FF 01 03"}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Line line;
        line.link.Start(false);
        for (std::string const& unit : c.units) line.in(unit);
        ASSERT_TRUE(runUntil([&] { return !line.events.empty(); }, 1000));
        EXPECT_EQ(line.events, Units{"out of service"});
        EXPECT_EQ(line.sent.back(), "FF FF 01 03");  // SIOS
        EXPECT_EQ(line.link.state(), State::idle);
    }
    // Aligned ready: T1 without the peer's fill-in units, or the peer
    // going back to alignment.
    for (char const* unit : {"", "FF FF 01 00"}) {
        Line line;
        line.link.Start(false);
        line.in("FF FF 01 01");
        line.in("FF FF 01 01");
        ASSERT_TRUE(runUntil([&] { return line.link.state() == State::aligned_ready; }, 1000));
        if (*unit) line.in(unit);
        ASSERT_TRUE(runUntil([&] { return !line.events.empty(); }, 1000));
        EXPECT_EQ(line.events, Units{"out of service"});
    }
}

TEST(Mtp2ErrorCorrection, RetransmitsOnNegativeAcknowledgementAndAsksForWhatIsMissing) {
    Line line;
    line.bringInService();
    // A long unit says 63 for its length; the peer acknowledges it.
    ASSERT_TRUE(line.send(text(Bytes(273, 0x66))));
    EXPECT_EQ(line.taken().back().substr(0, 12), "FF 80 3F 66 ");
    line.in("80 FF 00");
    EXPECT_EQ(line.link.rtb_size(), 0u);
    ASSERT_TRUE(line.send("05 01 02 03"));
    EXPECT_EQ(line.taken(), Units{"FF 81 04 05 01 02 03"});
    // The peer's BIB inverted: everything unacknowledged again, FIB inverted.
    line.in("00 FF 00");
    EXPECT_EQ(line.taken(), Units{"FF 01 04 05 01 02 03"});
    line.in("01 FF 00");
    EXPECT_EQ(line.link.rtb_size(), 0u);

    // The peer's units: one in sequence (acknowledged on the next pass), one
    // after a gap (BIB inverted), one still of the old FIB (dropped), then
    // the retransmission and a unit received twice.
    line.in("01 80 03 0A 0B 0C");
    runFor(5);
    EXPECT_EQ(line.taken(), Units{"80 01 00"});
    line.in("01 82 03 0A 0B 0E");
    runFor(5);
    EXPECT_EQ(line.taken(), Units{"00 01 00"});
    line.in("01 82 03 0A 0B 0E");
    line.in("01 01 03 0A 0B 0D");
    line.in("01 02 03 0A 0B 0E");
    line.in("01 02 03 0A 0B 0E");
    runFor(5);
    EXPECT_EQ(line.taken(), Units{"02 01 00"});
    EXPECT_EQ(line.received, (Units{"0A 0B 0C", "0A 0B 0D", "0A 0B 0E"}));
    Mtp2Link::Counters const& c = line.link.counters();
    EXPECT_EQ(c.msu_rx, 3u);
    EXPECT_EQ(c.repeated, 1u);
    EXPECT_EQ(c.bad_sequence, 1u);
    EXPECT_EQ(line.link.bsn(), 2);
    EXPECT_EQ(line.events, Units{});
}

TEST(Mtp2ErrorCorrection, DropsOneAbnormalBsnAndFailsOnTwoOfThree) {
    Line line;
    line.bringInService();
    line.in("10 FF 00");  // acknowledges FSN 16, never sent
    EXPECT_EQ(line.link.state(), State::in_service);
    EXPECT_EQ(line.link.counters().bad_sequence, 1u);
    line.in("FF FF 00");
    line.in("FF FF 00");
    line.in("10 FF 00");
    line.in("FF FF 00");
    line.in("10 FF 00");
    EXPECT_EQ(line.link.state(), State::idle);
    EXPECT_EQ(line.events, Units{"out of service"});
    EXPECT_EQ(line.taken(), Units{"FF FF 01 03"});
}

TEST(Mtp2ErrorCorrection, CountsAndDropsMalformedUnitsWithoutReadingPastThem) {
    Line line;
    line.bringInService();
    for (char const* unit : {"FF", "FF FF", "FF FF 05 01 02", "FF FF 3F 01 02 03",
                             "FF FF 01 07", "FF FF 02 01 00"}) {
        SCOPED_TRACE(unit);
        Bytes const bytes = hex(unit);
        // An exact-size copy: reading past the end shows under the sanitizers.
        std::vector<uint8_t> exact(bytes.begin(), bytes.end());
        line.link.Receive(exact.data(), exact.size());
    }
    // The last is a two-octet status unit: SIN, which ends the service.
    EXPECT_EQ(line.link.counters().bad_units, 5u);
    EXPECT_EQ(line.events, Units{"out of service"});
    EXPECT_TRUE(line.received.empty());
}

TEST(Mtp2Supervision, FailsOnDelayedAcknowledgementLongBusyAndSilence) {
    struct Case {
        char const* name;
        std::vector<char const*> after_send;  // units from the peer after one message
        unsigned fill;
        unsigned t7;
        unsigned at_least_ms;
    } const cases[] = {
        {"T7: no acknowledgement", {}, 100000, 60, 55},
        // Fill-in units that acknowledge nothing do not end the congestion:
        // T6 ends the link, long before T7 would.
        {"T6: busy too long", {"FF FF 01 05", "FF FF 00", "FF FF 00"}, 100000, 2000, 55},
        {"the peer silent: 64 silent stretches", {}, 2, 100000, 200},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Mtp2Link::Timers timers = shortTimers(c.fill);
        timers.t7 = c.t7;
        Line line(timers);
        line.link.Start(false);
        line.in("FF FF 01 01");
        line.in("FF FF 01 01");
        // Kept company through proving, then left alone.
        ASSERT_TRUE(runUntil([&] {
            line.in("FF FF 01 01");
            return line.link.state() == State::aligned_ready;
        }, 1000));
        line.in("FF FF 00");
        ASSERT_TRUE(line.send("05 01 02"));
        for (char const* unit : c.after_send) line.in(unit);
        Clock::time_point const from = Clock::now();
        ASSERT_TRUE(runUntil([&] { return line.events.size() == 2; }, 1500));
        EXPECT_GE(elapsedMs(from), long(c.at_least_ms));
        EXPECT_EQ(line.events.back(), "out of service");
    }
}
