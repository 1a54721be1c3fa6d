#pragma once
// The server's clock and the timeval helpers of namespace Mux. Timers,
// time-outs and measurements read Mux::milliseconds / Mux::microseconds,
// which count on a monotonic clock so that a step of the wall clock neither
// fires every timer at once nor stalls them; printed times stay wall-clock
// (gettimeval, seconds, timevaltostring). The main loop may freeze the clock
// for one pass with a snapshot (mux_settimeofday).

#include <sys/select.h>
#include <sys/time.h>

#include <cstdint>
#include <string>

namespace Mux {

struct timeval : ::timeval {
    timeval() : timeval(0, 0) {}
    timeval(int sec, int usec) {
        tv_sec = sec;
        tv_usec = usec;
    }
    bool is_zero() const { return tv_sec == 0 && tv_usec == 0; }
};

// The wall-clock snapshot; zero while there is none.
extern timeval g_tv_time;

int mux_settimeofday();  // takes a snapshot of both clocks
void mux_clear_snapshot();
int mux_gettimeofday(::timeval& tv);
int gettimeval(::timeval& tv);
long seconds();

uint32_t microseconds();  // monotonic, wraps about every 71.6 minutes
uint32_t milliseconds();  // monotonic, wraps about every 49.7 days
// One reading of the clock in microseconds, not wrapped, for code that needs
// both microseconds_of and milliseconds_of the same instant.
uint64_t reading();

// Pure conversions of a microsecond count, as milliseconds() and
// microseconds() apply them to the clock (kept apart to be testable).
uint32_t microseconds_of(uint64_t usec_total);
uint32_t milliseconds_of(uint64_t usec_total);

timeval make_from_usec(unsigned us);
timeval make_from_msec(unsigned ms);
void timevalset(::timeval& t, unsigned long long ms);
void timevaladd(::timeval& a, ::timeval const& b);
void timevalsub(::timeval& a, ::timeval const& b);
void timevaladd2(::timeval const& a, ::timeval const& b, ::timeval& out);
void timevalsub2(::timeval const& a, ::timeval const& b, ::timeval& out);
int timevalcompare(::timeval const& a, ::timeval const& b);
int64_t timevaldiff(::timeval const& a, ::timeval const& b);
std::string timevaltostring(::timeval const& t);

class timeval_timer {
public:
    void init(::timeval const& now, int period) {
        start_ = timeval(now.tv_sec, now.tv_usec);
        period_ = period;
    }
    void init_now(::timeval const& now) { start_ = timeval(now.tv_sec, now.tv_usec); }
    bool is_expired(::timeval const& now) const {
        return period_ >= 1 && timevaldiff(start_, now) > period_;
    }
    void inc();

private:
    timeval start_;
    int period_ = 0;
};

// A descriptor set for select(), with its highest descriptor (-1 when empty).
class Set {
public:
    Set() { clear(); }
    void clear() {
        FD_ZERO(&set_);
        max_ = -1;
    }
    // A descriptor that an fd_set cannot hold (negative, or FD_SETSIZE and
    // above) is ignored rather than written outside the set.
    void add(int fd) {
        if (!fits(fd)) return;
        FD_SET(fd, &set_);
        if (fd > max_) max_ = fd;
    }
    bool has(int fd) const { return fits(fd) && FD_ISSET(fd, &set_); }
    int max() const { return max_; }
    fd_set* get() { return max_ < 0 ? nullptr : &set_; }

private:
    static bool fits(int fd) { return fd >= 0 && fd < FD_SETSIZE; }

    fd_set set_;
    int max_;
};

int max_fd(Set& a, Set& b, Set& c);
int max_fd(Set& a, Set& b);
int select(Set& r, Set& w, Set& e, ::timeval& t);
int select(Set& r, Set& w, Set& e);
int select(Set& r, Set& w);
int select(Set& r);
int select_rd(Set& r, ::timeval& t);
int select_wr(Set& w, ::timeval& t);

}  // namespace Mux
