#pragma once
// Profiling points: named timers bracketing a piece of code with begin() and
// end(), cheap enough for the send path (one clock reading each, no
// allocation, no output). Every live point is on one global list, newest
// first, which Profile::dump prints into the main loop's status dump. Points
// are meant to be static objects, usually function-local so that only code
// that has run shows up.

#include <ostream>

#include "runtime/loop/measure.h"

namespace Profile {

class Point {
public:
    explicit Point(char const* name);
    Point(Point const&) = delete;
    Point& operator=(Point const&) = delete;
    ~Point();

    void begin() { measure_.begin(); }
    void end() { measure_.end(); }
    // Ends this point and begins `next` at one reading of the clock.
    void handOver(Point& next);

    // "[name]: min=.. max=.. avg=.. counter=..", without a line end.
    void put(std::ostream& os) const;

    char const* name() const { return name_; }
    Point* next() const { return next_; }
    Measure const& measure() const { return measure_; }

private:
    friend void unlink(Point* point);
    Point* next_;
    char const* name_;
    Measure measure_;
};

// The newest live point; null when there is none.
extern Point* mRoot;

std::ostream& operator<<(std::ostream& os, Point const& point);

// Every live point, newest first, one per line.
void dump(std::ostream& os);

}  // namespace Profile
