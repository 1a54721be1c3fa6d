#include "runtime/system/clock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "runtime/system/fd.h"

namespace {

TEST(Clock, ConvertsMicrosecondCountsToWrappingMillisecondsAndMicroseconds) {
    EXPECT_EQ(Mux::milliseconds_of(10ull * 1000000 + 999999), 10999u);
    EXPECT_EQ(Mux::milliseconds_of(4294967ull * 1000000 + 296000), 0u);
    EXPECT_EQ(Mux::microseconds_of(4294967296ull + 5), 5u);
}

TEST(Clock, MillisecondsNeverRunBackwards) {
    uint32_t const first = Mux::milliseconds();
    uint32_t const second = Mux::milliseconds();
    EXPECT_LE(int32_t(first - second), 0);
}

TEST(Clock, ASnapshotFreezesReadingsUntilCleared) {
    Mux::mux_settimeofday();
    uint32_t const a = Mux::microseconds();
    timeval t1, t2;
    Mux::gettimeval(t1);
    for (volatile int i = 0; i < 100000; ++i) {
    }
    EXPECT_EQ(Mux::microseconds(), a);
    Mux::gettimeval(t2);
    EXPECT_EQ(Mux::timevalcompare(t1, t2), 0);
    Mux::mux_clear_snapshot();
    EXPECT_TRUE(Mux::g_tv_time.is_zero());
}

TEST(TimevalArithmetic, CarriesBorrowsAndComparesAcrossSeconds) {
    Mux::timeval a(5, 100), b(2, 200);
    Mux::timevalsub(a, b);
    EXPECT_EQ(a.tv_sec, 2);
    EXPECT_EQ(a.tv_usec, 999900);
    Mux::timevaladd(a, Mux::timeval(0, 200));
    EXPECT_EQ(a.tv_sec, 3);
    EXPECT_EQ(a.tv_usec, 100);

    EXPECT_EQ(Mux::timevaldiff(Mux::timeval(10, 900000), Mux::timeval(11, 100000)), 200);
    EXPECT_EQ(Mux::timevaldiff(Mux::timeval(11, 100000), Mux::timeval(10, 900000)), 0);
    EXPECT_EQ(Mux::timevalcompare(Mux::timeval(1, 5), Mux::timeval(1, 6)), -1);

    Mux::timeval m = Mux::make_from_msec(2500);
    EXPECT_EQ(m.tv_sec, 2);
    EXPECT_EQ(m.tv_usec, 500000);
    Mux::timeval u = Mux::make_from_usec(1000001);
    EXPECT_EQ(u.tv_sec, 1);
    EXPECT_EQ(u.tv_usec, 1);
}

TEST(TimevalTimer, ExpiresStrictlyAfterItsPeriodAndNeverWithPeriodZero) {
    Mux::timeval start(100, 0);
    Mux::timeval_timer timer;
    timer.init(start, 0);
    EXPECT_FALSE(timer.is_expired(Mux::timeval(1000, 0)));
    timer.init(start, 1000);
    EXPECT_FALSE(timer.is_expired(Mux::timeval(101, 0)));
    EXPECT_TRUE(timer.is_expired(Mux::timeval(101, 1000)));
    timer.inc();
    EXPECT_FALSE(timer.is_expired(Mux::timeval(102, 0)));
}

TEST(TimevalToString, PrintsMicrosecondsWithSixDigits) {
    std::string const text = Mux::timevaltostring(Mux::timeval(0, 42));
    ASSERT_GE(text.size(), 7u);
    EXPECT_EQ(text.substr(text.size() - 7), ".000042");
}

}  // namespace

TEST(SelectSet, SelectsAReadyDescriptorAndRefusesOnesOutsideTheSet) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    Fd const reader(pipe_fds[0]);
    Fd const writer(pipe_fds[1]);
    ASSERT_EQ(::write(writer.lowlevel_fd(), "x", 1), 1);

    Mux::Set read_set;
    EXPECT_EQ(read_set.get(), nullptr);
    // An fd_set holds descriptors 0 to FD_SETSIZE - 1 only: others would be
    // written outside it.
    read_set.add(-1);
    read_set.add(FD_SETSIZE);
    read_set.add(FD_SETSIZE + 4000);
    EXPECT_EQ(read_set.max(), -1);
    EXPECT_EQ(read_set.get(), nullptr);

    read_set.add(reader.lowlevel_fd());
    EXPECT_EQ(read_set.max(), reader.lowlevel_fd());
    ::timeval wait = Mux::make_from_msec(1000);
    EXPECT_EQ(Mux::select_rd(read_set, wait), 1);
    EXPECT_TRUE(read_set.has(reader.lowlevel_fd()));
    EXPECT_FALSE(read_set.has(FD_SETSIZE));
}
