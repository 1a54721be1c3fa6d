#include "runtime/loop/measure.h"

#include <gtest/gtest.h>

#include <sstream>

#include "runtime/loop/profile.h"
#include "runtime/loop/trace.h"

namespace {

std::string text(Measure const& m) {
    std::ostringstream out;
    out << m;
    return out.str();
}

TEST(Measurement, PrintsZerosBeforeTheFirstRun) {
    EXPECT_EQ(text(Measure()), "min=0 max=0 avg=0 counter=0");
}

TEST(Measurement, KeepsExtremesAndPrintsTheLatestRunAsAvg) {
    Measure m;
    m.record(30);
    EXPECT_EQ(text(m), "min=30 max=30 avg=30 counter=1");
    m.record(10);
    m.record(20);
    EXPECT_EQ(text(m), "min=10 max=30 avg=20 counter=3");
}

TEST(Measurement, TimesARunBetweenBeginAndEnd) {
    Measure m;
    m.begin();
    for (volatile int i = 0; i < 200000; ++i) {
    }
    m.end();
    EXPECT_EQ(m.counter(), 1u);
    EXPECT_EQ(m.min(), m.cur());
    EXPECT_LT(m.cur(), 10000000u);  // not a wrapped negative
}

TEST(Measurement, PrintsDecimalWhateverTheStreamBase) {
    Measure m;
    m.record(255);
    std::ostringstream out;
    out << std::hex << m << ' ' << 255;
    EXPECT_EQ(out.str(), "min=255 max=255 avg=255 counter=1 ff");
}

std::string dump() {
    std::ostringstream out;
    Profile::dump(out);
    return out.str();
}

TEST(ProfilePoints, AreDumpedNewestFirstAndLeaveTheListWhenDestroyed) {
    std::string const before = dump();
    {
        Profile::Point a("A");
        Profile::Point b("B");
        EXPECT_EQ(dump(),
                  "[B]: min=0 max=0 avg=0 counter=0\n"
                  "[A]: min=0 max=0 avg=0 counter=0\n" +
                      before);
        b.begin();
        b.end();
        EXPECT_EQ(b.measure().counter(), 1u);
        std::ostringstream one;
        one << b;
        EXPECT_EQ(one.str(), "[B]: min=" + std::to_string(b.measure().cur()) +
                                 " max=" + std::to_string(b.measure().cur()) +
                                 " avg=" + std::to_string(b.measure().cur()) + " counter=1");
    }
    EXPECT_EQ(dump(), before);
}

TEST(ProfilePoints, AnOlderPointCanGoFirst) {
    auto* older = new Profile::Point("older");
    Profile::Point newer("newer");
    delete older;  // unlinked from the middle of the list
    EXPECT_EQ(Profile::mRoot, &newer);
    EXPECT_EQ(dump().find("older"), std::string::npos);
}

TEST(TraceBlocks, MarkEnterAndLeaveOnlyWhenEnabled) {
    std::ostringstream out;
    {
        Trace::Block on(true, "send", out);
        out << "work\n";
        Trace::Block off(false, "quiet", out);
    }
    EXPECT_EQ(out.str(), "Enter send\nwork\nLeave send\n");
}

}  // namespace
