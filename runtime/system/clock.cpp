#include "runtime/system/clock.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

namespace Mux {

timeval g_tv_time;

namespace {

struct timespec g_mono_snapshot = {0, 0};

uint64_t monotonic_usec() {
    struct timespec ts = g_mono_snapshot;
    if (g_tv_time.is_zero()) clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

void normalise(::timeval& t) {
    while (t.tv_usec >= 1000000) {
        t.tv_usec -= 1000000;
        ++t.tv_sec;
    }
    while (t.tv_usec < 0) {
        t.tv_usec += 1000000;
        --t.tv_sec;
    }
}

}  // namespace

int mux_settimeofday() {
    ::timeval now;
    int const result = ::gettimeofday(&now, nullptr);
    g_tv_time = timeval(now.tv_sec, now.tv_usec);
    clock_gettime(CLOCK_MONOTONIC, &g_mono_snapshot);
    return result;
}

void mux_clear_snapshot() {
    g_tv_time = timeval();
}

int mux_gettimeofday(::timeval& tv) {
    if (g_tv_time.is_zero()) return ::gettimeofday(&tv, nullptr);
    tv = g_tv_time;
    return 0;
}

int gettimeval(::timeval& tv) {
    mux_gettimeofday(tv);
    return 0;
}

long seconds() {
    ::timeval tv;
    mux_gettimeofday(tv);
    return tv.tv_sec;
}

uint32_t microseconds_of(uint64_t usec_total) {
    return uint32_t(usec_total);
}
uint32_t milliseconds_of(uint64_t usec_total) {
    return uint32_t(usec_total / 1000u);
}
uint64_t reading() {
    return monotonic_usec();
}
uint32_t microseconds() {
    return microseconds_of(monotonic_usec());
}
uint32_t milliseconds() {
    return milliseconds_of(monotonic_usec());
}

timeval make_from_usec(unsigned us) {
    return timeval(us / 1000000u, us % 1000000u);
}
timeval make_from_msec(unsigned ms) {
    return timeval(ms / 1000u, (ms % 1000u) * 1000u);
}

void timevalset(::timeval& t, unsigned long long ms) {
    t.tv_sec = ms / 1000u;
    t.tv_usec = (ms % 1000u) * 1000u;
}

void timevaladd(::timeval& a, ::timeval const& b) {
    a.tv_sec += b.tv_sec;
    a.tv_usec += b.tv_usec;
    normalise(a);
}

void timevalsub(::timeval& a, ::timeval const& b) {
    a.tv_sec -= b.tv_sec;
    a.tv_usec -= b.tv_usec;
    normalise(a);
}

void timevaladd2(::timeval const& a, ::timeval const& b, ::timeval& out) {
    out = a;
    timevaladd(out, b);
}

void timevalsub2(::timeval const& a, ::timeval const& b, ::timeval& out) {
    out = a;
    timevalsub(out, b);
}

int timevalcompare(::timeval const& a, ::timeval const& b) {
    if (a.tv_sec != b.tv_sec) return a.tv_sec < b.tv_sec ? -1 : 1;
    if (a.tv_usec != b.tv_usec) return a.tv_usec < b.tv_usec ? -1 : 1;
    return 0;
}

int64_t timevaldiff(::timeval const& a, ::timeval const& b) {
    if (timevalcompare(b, a) < 0) return 0;
    return int64_t(b.tv_sec - a.tv_sec) * 1000 + int64_t(b.tv_usec - a.tv_usec) / 1000;
}

std::string timevaltostring(::timeval const& t) {
    char date[64] = "";
    time_t const secs = t.tv_sec;
    struct tm local;
    if (localtime_r(&secs, &local)) strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    char out[64 + 16];
    std::snprintf(out, sizeof out, "%s.%06ld", date, long(t.tv_usec));
    return out;
}

void timeval_timer::inc() {
    ::timeval step;
    timevalset(step, (unsigned long long)std::max(period_, 0));
    timevaladd(start_, step);
}

int max_fd(Set& a, Set& b, Set& c) {
    return std::max({a.max(), b.max(), c.max()});
}
int max_fd(Set& a, Set& b) {
    return std::max(a.max(), b.max());
}

int select(Set& r, Set& w, Set& e, ::timeval& t) {
    return ::select(max_fd(r, w, e) + 1, r.get(), w.get(), e.get(), &t);
}
int select(Set& r, Set& w, Set& e) {
    return ::select(max_fd(r, w, e) + 1, r.get(), w.get(), e.get(), nullptr);
}
int select(Set& r, Set& w) {
    return ::select(max_fd(r, w) + 1, r.get(), w.get(), nullptr, nullptr);
}
int select(Set& r) {
    return ::select(r.max() + 1, r.get(), nullptr, nullptr, nullptr);
}
int select_rd(Set& r, ::timeval& t) {
    return ::select(r.max() + 1, r.get(), nullptr, nullptr, &t);
}
int select_wr(Set& w, ::timeval& t) {
    return ::select(w.max() + 1, nullptr, w.get(), nullptr, &t);
}

}  // namespace Mux
