// The ISDN link in virtual time: how it writes the faults of its LAPD link
// to the log, at most one line of each kind per report period.

#include "signalling/isdn/isdn_link.h"

#include <gtest/gtest.h>

#include <iostream>

#include "tests/support/bytes.h"
#include "tests/support/capture.h"
#include "tests/support/virtual_clock.h"

using namespace support;

namespace {

// A slot of no slot service (its number "na"), whose signals go nowhere.
struct Quiet : Slot {
    char const* GetName() const override { return "MCC"; }
};

struct Channel : ISDN::IsdnLink::Channel {
    void SendFrame(uint8_t const* frame, size_t size) override { sent.emplace_back(frame, frame + size); }
    std::vector<Bytes> sent;
};

void Give(ISDN::IsdnLink& link, char const* frame, int times = 1) {
    Bytes const bytes = hex(frame);
    for (int i = 0; i < times; ++i) link.OnFrame(bytes.data(), bytes.size());
}

}  // namespace

TEST(IsdnLinkFaults, AreWrittenOncePerKindAndReportPeriodWithTheNumberThatFollowed) {
    VirtualClock clock;
    Quiet slot;
    Channel channel;
    ISDN::IsdnLink::Settings settings;
    settings.lapd = ISDN::LinkParams(false, ISDN::Side::user);
    settings.lapd.t203_ms = 60000;  // no polls within the test
    settings.report_ms = 0;         // the fault period is then 10 s
    StreamCapture log(std::clog);
    ISDN::IsdnLink link(slot, channel, settings, clock);
    link.Activate();
    Give(link, "00 01 73");  // UA
    ASSERT_EQ(link.lapd().state(), ISDN::Lapd::State::established);

    Give(link, "02 01 00", 50);     // invalid: an I-frame cut in its control field
    Give(link, "00 01 01 01", 20);  // error A: a final bit not asked for
    clock.Advance(9999);
    std::string const first = log.text();
    clock.Advance(1);
    std::string const period = log.text().substr(first.size());
    Give(link, "00 01 01 01", 3);  // the line of this period was the count
    clock.Advance(10000);
    std::string const second = log.text().substr(first.size() + period.size());
    clock.Advance(10000);         // a period without faults
    Give(link, "02 01 00", 2);     // written at once again
    std::string const third = log.text().substr(first.size() + period.size() + second.size());

    EXPECT_EQ(first, "na:MCC: LAPD invalid frame dropped: frame shorter than its control field\n"
                     "na:MCC: LAPD error A: final bit not asked for\n");
    EXPECT_EQ(period, "na:MCC: LAPD invalid frame dropped: frame shorter than its control field (49 more in 10000 ms)\n"
                      "na:MCC: LAPD error A: final bit not asked for (19 more in 10000 ms)\n");
    EXPECT_EQ(second, "na:MCC: LAPD error A: final bit not asked for (3 more in 10000 ms)\n");
    EXPECT_EQ(third, "na:MCC: LAPD invalid frame dropped: frame shorter than its control field\n");
    EXPECT_EQ(link.lapd().counters().invalid, 52u);
    EXPECT_EQ(link.lapd().counters().errors, 23u);
    EXPECT_EQ(link.lapd().counters().retrains, 0u);
}
