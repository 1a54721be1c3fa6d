#include "runtime/loop/multiplexer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>

#include "runtime/log/ext.h"
#include "runtime/loop/profile.h"
#include "runtime/system/clock.h"
#include "runtime/system/platform_path.h"

volatile sig_atomic_t Multiplexer::stop_ = 0;

namespace {

char const watchdog_device[] = "/dev/misc/gw-wd";

// Asks the plug-ins one by one; a plug-in unhooked meanwhile (by itself or by
// another) is taken off both lists and not asked in this step.
class TimerPollGuard : public Multiplexer::TimerPollNotify {
public:
    explicit TimerPollGuard(std::vector<TimerPoolPlugin*>& hooked) : hooked_(hooked) {
        pending_.assign(hooked.rbegin(), hooked.rend());
        hooked.clear();
    }

    int ask() {
        int result = Multiplexer::no_plugin_wait;
        while (!pending_.empty()) {
            TimerPoolPlugin* const plugin = pending_.back();
            pending_.pop_back();
            hooked_.push_back(plugin);
            int const wait = plugin->timerPoll();
            if (wait >= 0 && wait < result) result = wait;
        }
        return result;
    }

    void removeTimerPoolPlugin(TimerPoolPlugin* plugin) override {
        erase(hooked_, plugin);
        erase(pending_, plugin);
    }

private:
    static void erase(std::vector<TimerPoolPlugin*>& list, TimerPoolPlugin* plugin) {
        list.erase(std::remove(list.begin(), list.end(), plugin), list.end());
    }

    std::vector<TimerPoolPlugin*>& hooked_;
    std::vector<TimerPoolPlugin*> pending_;  // next to ask at the back
};

}  // namespace

Multiplexer& Multiplexer::instance() {
    // Never destroyed: handlers, timers and deferred calls held by static
    // objects still unregister from it while the program exits.
    static Multiplexer* const loop = new Multiplexer;
    return *loop;
}

void Multiplexer::run(bool watchdog, bool fresh_clock) {
    last_ping_ = 0;
    stop_ = 0;
    if (watchdog) open_watchdog();
    if (!fresh_clock) Mux::mux_settimeofday();

    while (!stop_) {
        int timeout = poll_timeout();
        // A stop asked for by a timer or a deferred call ends the loop here:
        // it must not wait for unrelated activity.
        if (stop_) break;
        build_poll_set();
        if (timeout < 0 && poll_set_.empty()) {
            std::cerr << "multiplexer: system hang detected!!!" << std::endl;
            std::abort();
        }
        execute_dpc();
        // A timer armed by those deferred calls must not wait for unrelated
        // activity, and the watchdog must be pinged in time.
        if (!timers_.empty()) {
            int32_t wait = int32_t(timers_.front()->expiry_ - Mux::milliseconds());
            if (wait < 0) wait = 0;
            if (wait <= max_timer_wait && (timeout < 0 || wait < timeout)) timeout = wait;
        }
        if (watchdog_.is_valid()) {
            int cap = int(watchdog_period);
            if (last_ping_ != 0) {
                uint32_t const since = Mux::milliseconds() - last_ping_;
                cap = since >= watchdog_period ? 0 : int(watchdog_period - since);
            }
            if (timeout < 0 || timeout > cap) timeout = cap;
        }

        if (stop_) break;
        int const ready = ::poll(poll_set_.data(), poll_set_.size(), timeout);
        int const poll_errno = errno;
        poll_set_built_ = false;
        if (!fresh_clock) Mux::mux_settimeofday();
        ping_if_due();

        if (ready == 0) continue;
        if (ready < 0) {
            if (poll_errno == EINTR) continue;
            std::cerr << "multiplexer poll failed: " << std::strerror(poll_errno) << std::endl;
            std::abort();
        }
        dispatch();
    }
    poll_set_built_ = false;

    std::clog << "Mux: terminating..." << std::endl;
    close_watchdog();
    if (!fresh_clock) Mux::mux_clear_snapshot();
}

int Multiplexer::poll_timeout() {
    int const timer_wait = timers_schedule();
    int const plugin_wait = timerPoll_schedule();
    int timeout = timer_wait;
    if (plugin_wait != no_plugin_wait && (timeout < 0 || plugin_wait < timeout))
        timeout = plugin_wait;
    return timeout;
}

void Multiplexer::build_poll_set() {
    while (EventHandler* const h = fresh_.remove_from_head()) {
        polled_.push_back(h);
        h->where_ = EventHandler::Where::polled;
    }
    if (poll_set_.size() != polled_.count()) poll_set_.resize(polled_.count());
    unsigned index = 0;
    for (EventHandler* h : polled_) {
        pollfd& entry = poll_set_[index];
        entry = pollfd{-1, 0, 0};
        h->shedule_event(entry);
        entry.revents = 0;
        h->poll_index_ = index++;
    }
    poll_set_built_ = true;
}

void Multiplexer::dispatch() {
    for (EventHandler* h : polled_) h->revents_ = poll_set_[h->poll_index_].revents;

    // Always the head: a callback may detach or destroy any handler, itself
    // included, and a detached handler is simply no longer in the list.
    // One clock reading ends a handler's run and begins the next one's.
    uint32_t now = Mux::microseconds();
    while (!polled_.empty() && !stop_) {
        EventHandler* const h = polled_.remove_from_head();
        serviced_.push_back(h);
        h->where_ = EventHandler::Where::serviced;
        event_measure_.begin(now);
        h->svc_event();
        now = Mux::microseconds();
        event_measure_.end(now);
    }
    // Handlers left unserved by a stop stay registered, behind the served ones.
    while (EventHandler* const h = polled_.remove_from_head()) serviced_.push_back(h);
    polled_.merge(serviced_);
    for (EventHandler* h : polled_) h->where_ = EventHandler::Where::polled;
}

F_dual_list<EventHandler>* Multiplexer::list_of(EventHandler const* handler) {
    switch (handler->where_) {
        case EventHandler::Where::fresh:
            return &fresh_;
        case EventHandler::Where::serviced:
            return &serviced_;
        case EventHandler::Where::polled:
            return &polled_;
        case EventHandler::Where::none:
            break;
    }
    return nullptr;
}

bool Multiplexer::event_exists(EventHandler const* handler) const {
    return handler->where_ != EventHandler::Where::none;
}

void Multiplexer::attach(EventHandler* handler) {
    if (event_exists(handler)) {
        std::cerr << "duplicate multiplexer attach " << std::flush;
        std::cerr << '"' << handler->event_name() << '"' << " ignored." << std::endl;
        return;
    }
    fresh_.push_back(handler);
    handler->where_ = EventHandler::Where::fresh;
}

void Multiplexer::detach(EventHandler* handler) {
    F_dual_list<EventHandler>* const list = list_of(handler);
    if (list == nullptr) {
        std::cerr << "indvalid Multiplexer::detach " << std::flush;
        std::cerr << handler->event_name() << std::endl;
        return;
    }
    // Its entry of the poll set about to be polled is blanked, so that a
    // descriptor closed meanwhile neither wakes the poll nor is reported.
    if (list == &polled_ && poll_set_built_) poll_set_[handler->poll_index_].fd = -1;
    list->remove(handler);
    handler->where_ = EventHandler::Where::none;
}

// Watchdog.

void Multiplexer::open_watchdog() {
    std::string const path = Platform::path(watchdog_device);
    // Non-blocking, so that a device node nobody serves (a FIFO without a
    // reader on a host) is reported instead of hanging the start of the loop.
    if (!watchdog_.open(path.c_str(), O_WRONLY | O_NONBLOCK)) {
        Errno const error;
        std::cerr << "Mux: fail to open watchdog: " << error << std::endl;
        return;
    }
    if (!write_watchdog("START", 5)) {
        Errno const error;
        std::cerr << "Mux: fail to activate watchdog: " << error << std::endl;
        watchdog_.close();
    }
}

void Multiplexer::close_watchdog() {
    if (!watchdog_.is_valid()) return;
    if (!write_watchdog("STOP", 4)) {
        Errno const error;
        std::cerr << "Mux: stop watchdog failed: " << error << std::endl;
    }
    watchdog_.close();
}

bool Multiplexer::write_watchdog(char const* text, unsigned size) {
    return ::write(watchdog_.lowlevel_fd(), text, size) == ssize_t(size);
}

void Multiplexer::resetWD() {
    if (!watchdog_.is_valid()) return;
    if (!write_watchdog("PING", 4)) {
        Errno const error;
        std::cerr << "Mux: ping watchdog failed: " << error << std::endl;
    }
}

void Multiplexer::ping_if_due() {
    // Without a watchdog the ping time has no use: no clock reading.
    if (!watchdog_.is_valid()) return;
    uint32_t const now = Mux::milliseconds();
    if (last_ping_ != 0 && last_ping_ <= now && now - last_ping_ < watchdog_period) return;
    last_ping_ = now;
    resetWD();
}

// Timers.

void Multiplexer::set(TimerEvent* event) {
    reset(event);
    timers_.insert_to_tail_by_grown(event);
    event->queued_ = true;
}

void Multiplexer::reset(TimerEvent* event) {
    if (!event->queued_) return;
    timers_.remove(event);
    event->queued_ = false;
}

int Multiplexer::timers_schedule() {
    uint32_t const now = Mux::milliseconds();
    uint32_t fired = 0;  // microseconds, when a timer fires
    if (!timers_.empty() && int32_t(now - timers_.front()->expiry_) >= 0)
        fired = Mux::microseconds();
    while (!timers_.empty() && int32_t(now - timers_.front()->expiry_) >= 0) {
        timer_measure_.begin(fired);
        TimerEvent* const event = timers_.remove_from_head();
        event->queued_ = false;
        event->fire();
        fired = Mux::microseconds();
        timer_measure_.end(fired);
    }
    execute_dpc();

    if (timers_.empty()) return -1;
    uint32_t const first = timers_.front()->expiry_;
    int32_t const wait = int32_t(first - now);
    if (wait >= 0 && wait <= max_timer_wait) return wait;

    std::cerr << "******** RUNTIME ERROR CONDITION *************"
              << "Multiplexer::timers_schedule() invalid wait time detected!" << std::endl
              << "now = " << now << std::endl
              << "first = " << first << std::endl
              << "count = " << timers_.count() << std::endl;
    for (TimerEvent* event : timers_) event->expiry_ = now + 1000;
    return 1000;
}

// Timer-poll plug-ins.

void Multiplexer::hook(TimerPoolPlugin* plugin) {
    plugins_.push_back(plugin);
}

void Multiplexer::unhook(TimerPoolPlugin* plugin) {
    if (poll_guard_) {
        poll_guard_->removeTimerPoolPlugin(plugin);
        return;
    }
    plugins_.erase(std::remove(plugins_.begin(), plugins_.end(), plugin), plugins_.end());
}

int Multiplexer::timerPoll_schedule() {
    if (plugins_.empty()) return no_plugin_wait;
    TimerPollGuard guard(plugins_);
    poll_guard_ = &guard;
    int const result = guard.ask();
    poll_guard_ = nullptr;
    return result;
}

// Deferred calls.

void Multiplexer::attach(Dpc* dpc) {
    auto const at =
        std::lower_bound(active_dpc_.begin(), active_dpc_.end(), dpc, std::less<Dpc*>());
    if (at == active_dpc_.end() || *at != dpc) active_dpc_.insert(at, dpc);
}

void Multiplexer::dettach(Dpc* dpc) {
    active_dpc_.erase(std::remove(active_dpc_.begin(), active_dpc_.end(), dpc), active_dpc_.end());
    run_dpc_.erase(std::remove(run_dpc_.begin(), run_dpc_.end(), dpc), run_dpc_.end());
}

void Multiplexer::execute_dpc() {
    run_dpc_.assign(active_dpc_.rbegin(), active_dpc_.rend());
    if (run_dpc_.empty()) return;
    uint32_t now = Mux::microseconds();
    while (!run_dpc_.empty()) {
        Dpc* const dpc = run_dpc_.back();
        run_dpc_.pop_back();
        dpc_measure_.begin(now);
        dpc->Invoke();
        now = Mux::microseconds();
        dpc_measure_.end(now);
    }
}

// Status dump.

void Multiplexer::dump(std::ostream& os) const {
    os << "dpc transition measurement (min/max/cur/counter): " << dpc_measure_ << std::endl;
    os << "event transition measurement (min/max/cur/counter): " << event_measure_ << std::endl;
    os << "timer transition measurement (min/max/cur/counter): " << timer_measure_ << std::endl;
    Profile::dump(os);

    ext::Table table(40, 30, 10, 10, 5, 60);
    os << table << ext::delimeter;
    os << table << ext::beginrow << "name" << ext::nextrow << "events" << ext::nextrow << "count"
       << ext::nextrow << "handler" << ext::nextrow << "fd" << ext::nextrow << "measure"
       << ext::nextrow;
    os << table << ext::delimeter;
    for (EventHandler const* h : polled_) {
        if (!h->is_named()) continue;
        auto const* event = dynamic_cast<Event const*>(h);
        if (event == nullptr) continue;
        os << table << ext::beginrow << event->name() << ext::nextrow
           << PollEventAsText(event->events()) << ext::nextrow << event->count() << ext::nextrow
           << (event->is_bound() ? "attached" : "unattached") << ext::nextrow
           << event->lowlevel_fd() << ext::nextrow << event->measure() << ext::nextrow;
    }
    os << table << ext::delimeter;
    os << std::endl;
}
