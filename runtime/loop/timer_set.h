#pragma once
// Time as an input of a protocol state machine. The machine owns a TimerSet
// of a few numbered timers: it starts, stops and asks about them by index,
// and the set calls it back by index when one expires. A TimeSource makes
// the sets: the main loop's runs them on the loop's Timer, and the tests run
// them on a virtual clock, so that a machine's behaviour in time is shown
// without waiting for it.

#include <memory>

class TimerSet {
public:
    class Client {
    public:
        virtual ~Client() = default;
        // Timer `index` has expired; it is no longer running, and the
        // callback may start it again or destroy the set.
        virtual void OnTimer(unsigned index) = 0;
    };

    TimerSet() = default;
    TimerSet(TimerSet const&) = delete;
    TimerSet& operator=(TimerSet const&) = delete;
    virtual ~TimerSet() = default;

    // Starts timer `index` to expire `ms` from now, or restarts it.
    virtual void Start(unsigned index, unsigned ms) = 0;
    // Stops it; nothing when it is not running.
    virtual void Stop(unsigned index) = 0;
    virtual bool Running(unsigned index) const = 0;
};

class TimeSource {
public:
    virtual ~TimeSource() = default;
    // A set of `count` timers, all stopped, that calls `client` back.
    virtual std::unique_ptr<TimerSet> MakeTimers(TimerSet::Client& client, unsigned count) = 0;
};

// The main loop's time.
TimeSource& LoopTime();
