#pragma once
// The main loop: the server's only thread of control. Each pass fires the due
// timers, runs the deferred calls, works out how long it may wait, polls every
// registered descriptor handler at once, keeps the board's hardware watchdog
// alive and then serves every handler. Everything the server does happens in a
// handler, a timer callback or a deferred call run from here.
//
// There is one loop, reached through instance(); it is built on first use and
// never destroyed, so objects destroyed at exit may still unregister from it.
// run() may be called again after it returned (tests do).

#include <poll.h>
#include <signal.h>

#include <cstdint>
#include <deque>
#include <ostream>
#include <vector>

#include "runtime/containers/lists.h"
#include "runtime/loop/dpc.h"
#include "runtime/loop/event.h"
#include "runtime/loop/measure.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"

class Multiplexer {
public:
    // What a plug-in step offers to plug-ins unhooked while it runs.
    class TimerPollNotify {
    public:
        virtual ~TimerPollNotify() = default;
        virtual void removeTimerPoolPlugin(TimerPoolPlugin* plugin) = 0;
    };

    // Longest wait the timer step accepts; a farther (or past) head is
    // reported and every timer moves 1000 ms ahead.
    static constexpr int max_timer_wait = 7200000;
    // The watchdog is pinged about once a second.
    static constexpr uint32_t watchdog_period = 1000;

    static Multiplexer& instance();

    // Runs passes until a stop is requested. watchdog: open and serve
    // /dev/misc/gw-wd. fresh_clock false: freeze the clock once per pass.
    void run(bool watchdog, bool fresh_clock);
    // Requests the stop; safe from a signal handler.
    static void terminate() { stop_ = 1; }
    static bool stop_requested() { return stop_ != 0; }

    void attach(EventHandler* handler);
    void detach(EventHandler* handler);
    bool event_exists(EventHandler const* handler) const;

    void resetWD();
    bool watchdog_open() const { return watchdog_.is_valid(); }

    // Loop measurements, profiling points and a table of every polled Event.
    void dump(std::ostream& os) const;

    // Timers.
    void set(TimerEvent* event);
    void reset(TimerEvent* event);
    // Fires the due timers, runs the deferred calls; returns the wait until the
    // next timer: -1 when none is pending, 0 when one is already due.
    int timers_schedule();
    uint32_t timers_count() const { return timers_.count(); }

    // Timer-poll plug-ins.
    void hook(TimerPoolPlugin* plugin);
    void unhook(TimerPoolPlugin* plugin);
    // The smallest wait a plug-in asks for (0 or more), no_plugin_wait when
    // none asks for one.
    int timerPoll_schedule();
    static constexpr int no_plugin_wait = 0x7fffffff;

    // Deferred calls.
    void attach(Dpc* dpc);
    void dettach(Dpc* dpc);
    void execute_dpc();

    Measure const& dpc_measure() const { return dpc_measure_; }
    Measure const& event_measure() const { return event_measure_; }
    Measure const& timer_measure() const { return timer_measure_; }

private:
    Multiplexer() = default;
    ~Multiplexer() = delete;

    void open_watchdog();
    void close_watchdog();
    bool write_watchdog(char const* text, unsigned size);
    void ping_if_due();
    // Timer and plug-in steps; the wait they ask for, -1 for none.
    int poll_timeout();
    void build_poll_set();
    void dispatch();
    F_dual_list<EventHandler>* list_of(EventHandler const* handler);

    F_sorted_list<TimerEvent> timers_;
    F_dual_list<EventHandler> fresh_;
    F_dual_list<EventHandler> serviced_;
    F_dual_list<EventHandler> polled_;
    std::vector<pollfd> poll_set_;
    std::vector<Dpc*> active_dpc_;  // ascending by address
    std::vector<Dpc*> run_dpc_;     // the current run, next at the back
    Measure dpc_measure_;
    Measure event_measure_;
    Measure timer_measure_;
    std::vector<TimerPoolPlugin*> plugins_;
    TimerPollNotify* poll_guard_ = nullptr;
    Fd watchdog_;
    uint32_t last_ping_ = 0;
    bool poll_set_built_ = false;

    static volatile sig_atomic_t stop_;
};
