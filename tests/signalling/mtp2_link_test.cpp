// The SS7 link level in-process: malformed units from the line, each in a
// buffer of its exact size so that a read past its end shows under the
// sanitizers. (Alignment, recovery, refusals and supervision are shown
// through the server program.)

#include "signalling/ss7/mtp2_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/loop.h"

using namespace support;
using Ss7::Mtp2Link;

namespace {

struct Line : Mtp2Link::User {
    Line() : link(*this, timers()) {}
    static Mtp2Link::Timers timers() {
        Mtp2Link::Timers t;
        t.t4n = 80;
        t.fill = 100000;  // no silent stretches while the test feeds units
        return t;
    }
    void Transmit(uint8_t const*, size_t) override {}
    void OnMessage(uint8_t const*, size_t) override { ++received; }
    void OnInService() override {}
    void OnOutOfService() override { events.push_back("out of service"); }
    void OnTrace(std::string const&) override {}
    void in(std::string const& unit) {
        Bytes const bytes = hex(unit);
        // An exact-size copy: reading past the end shows under the sanitizers.
        std::vector<uint8_t> exact(bytes.begin(), bytes.end());
        link.Receive(exact.data(), exact.size());
    }

    unsigned received = 0;
    std::vector<std::string> events;
    Mtp2Link link;
};

}  // namespace

TEST(Mtp2ErrorCorrection, CountsAndDropsMalformedUnitsWithoutReadingPastThem) {
    Line line;
    line.link.Start(false);
    line.in("FF FF 01 01");
    line.in("FF FF 01 01");
    ASSERT_TRUE(
        runUntil([&] { return line.link.state() == Mtp2Link::State::aligned_ready; }, 1000));
    line.in("FF FF 00");
    ASSERT_EQ(line.link.state(), Mtp2Link::State::in_service);
    for (char const* unit :
         {"FF", "FF FF", "FF FF 05 01 02", "FF FF 3F 01 02 03", "FF FF 01 07", "FF FF 02 01 00"}) {
        SCOPED_TRACE(unit);
        line.in(unit);
    }
    // The last is a two-octet status unit: SIN, which ends the service.
    EXPECT_EQ(line.link.counters().bad_units, 5u);
    EXPECT_EQ(line.events, std::vector<std::string>{"out of service"});
    EXPECT_EQ(line.received, 0u);
}
