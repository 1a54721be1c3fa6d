#include "tests/support/loop.h"

#include <utility>

#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"

namespace support {

namespace {

// Stops the loop when the bound passes or, checked every 5 ms, when the
// predicate holds.
class Stopper {
public:
    Stopper(unsigned bound_ms, std::function<bool()> predicate, bool watchdog = false,
            bool fresh_clock = true)
        : predicate_(std::move(predicate)), watchdog_(watchdog), fresh_clock_(fresh_clock) {
        deadline_.set(bound_ms, &Stopper::expire, this);
        if (predicate_) check_.set(0, &Stopper::check, this);
    }

    // Without a predicate: whether something other than the bound stopped
    // the loop; with one: whether it held.
    bool run() {
        Multiplexer::instance().run(watchdog_, fresh_clock_);
        return predicate_ ? met_ : !expired_;
    }

private:
    void expire() {
        expired_ = true;
        Multiplexer::terminate();
    }
    // Stays armed even when it stops the loop: a pass with nothing to wait
    // for would be taken for a hung loop.
    void check() {
        check_.set(5, &Stopper::check, this);
        if (!predicate_()) return;
        met_ = true;
        Multiplexer::terminate();
    }

    std::function<bool()> predicate_;
    bool const watchdog_;
    bool const fresh_clock_;
    bool expired_ = false;
    bool met_ = false;
    Timer deadline_;
    Timer check_;
};

}  // namespace

bool runLoop(unsigned bound_ms, bool watchdog, bool fresh_clock) {
    return Stopper(bound_ms, nullptr, watchdog, fresh_clock).run();
}

bool runUntil(std::function<bool()> predicate, unsigned bound_ms) {
    return Stopper(bound_ms, std::move(predicate)).run();
}

void runFor(unsigned ms) {
    runUntil([] { return false; }, ms);
}

long millisBetween(Clock::time_point a, Clock::time_point b) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count());
}

}  // namespace support
