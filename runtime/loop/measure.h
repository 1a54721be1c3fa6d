#pragma once
// Measure records how long repeated runs of one piece of code take, in
// microseconds: the shortest, the longest and the latest run and how many
// runs there were. The main loop keeps one for its deferred calls, handler
// services and timer fires, and every Event has one; the status dump prints
// them.

#include <cstdint>
#include <ostream>

class Measure {
public:
    void begin();
    // Ends a run begun by begin(); a clock wrap in between still gives the
    // right duration.
    void end();
    // The same at a time already read from Mux::microseconds, for runs that
    // follow one another: one reading ends a run and begins the next.
    void begin(uint32_t now) { start_ = now; }
    void end(uint32_t now) { record(now - start_); }
    // Counts one run of the given duration.
    void record(uint32_t duration);

    uint32_t min() const { return min_; }
    uint32_t max() const { return max_; }
    uint32_t cur() const { return cur_; }
    uint32_t counter() const { return counter_; }

    // "min=.. max=.. avg=.. counter=..", where avg is the latest duration.
    void put(std::ostream& os) const;

private:
    uint32_t min_ = 0;
    uint32_t max_ = 0;
    uint32_t cur_ = 0;
    bool first_ = true;
    uint32_t start_ = 0;
    uint32_t counter_ = 0;
};

std::ostream& operator<<(std::ostream& os, Measure const& m);
