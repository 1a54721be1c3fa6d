#pragma once
// Running the real main loop from a test with an upper bound, so that a fault
// ends the test instead of hanging it: until the code under test stops the
// loop, until a condition holds, or for a while.

#include <chrono>
#include <functional>

namespace support {

using Clock = std::chrono::steady_clock;

// Runs the loop until something stops it; false when the bound had to. The
// flags are those of Multiplexer::run.
bool runLoop(unsigned bound_ms = 5000, bool watchdog = false, bool fresh_clock = true);
// Runs the loop until the predicate holds (checked every 5 ms); false when
// the bound passed first.
bool runUntil(std::function<bool()> predicate, unsigned bound_ms = 3000);
// Runs the loop for a while.
void runFor(unsigned ms);

// Milliseconds from a to b.
long millisBetween(Clock::time_point a, Clock::time_point b);
inline long elapsedMs(Clock::time_point since) {
    return millisBetween(since, Clock::now());
}

}  // namespace support
