#include "runtime/loop/timer_set.h"

#include "runtime/loop/timer.h"

namespace {

// Timers of the main loop: the index of a firing timer is its place in the
// array.
class LoopTimerSet : public TimerSet {
public:
    LoopTimerSet(Client& client, unsigned count)
        : client_(client), timers_(new Timer[count]) {}

    void Start(unsigned index, unsigned ms) override {
        timers_[index].set(ms, &LoopTimerSet::OnExpiry, this);
    }
    void Stop(unsigned index) override { timers_[index].reset(); }
    bool Running(unsigned index) const override { return timers_[index].is_running(); }

private:
    void OnExpiry(Timer* timer) { client_.OnTimer(unsigned(timer - timers_.get())); }

    Client& client_;
    std::unique_ptr<Timer[]> timers_;
};

class LoopTimeSource : public TimeSource {
public:
    std::unique_ptr<TimerSet> MakeTimers(TimerSet::Client& client, unsigned count) override {
        return std::make_unique<LoopTimerSet>(client, count);
    }
};

}  // namespace

TimeSource& LoopTime() {
    static LoopTimeSource source;
    return source;
}
