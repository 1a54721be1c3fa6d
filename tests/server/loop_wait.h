#pragma once
// Helpers for tests that drive the real main loop over real sockets: run the
// loop until something happened (with a bound), capture a stream line by line
// with the time each line was written, and a frame recorder for the notify
// side of a link.

#include <chrono>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "server/control_service.h"

namespace links {

using Clock = std::chrono::steady_clock;

// Runs the main loop until the predicate holds (checked every 5 ms) or the
// bound passes; false on the bound.
inline bool runUntil(std::function<bool()> predicate, unsigned bound_ms) {
    struct Stopper {
        std::function<bool()> predicate;
        Clock::time_point deadline;
        bool met = false;
        Timer timer;
        // Stays armed even when it stops the loop: a pass with nothing to
        // wait for would be taken for a hung loop.
        void check() {
            timer.set(5, &Stopper::check, this);
            if (predicate()) {
                met = true;
                Multiplexer::terminate();
            } else if (Clock::now() >= deadline) {
                Multiplexer::terminate();
            }
        }
    } stopper{std::move(predicate), Clock::now() + std::chrono::milliseconds(bound_ms), false, {}};
    stopper.timer.set(0, &Stopper::check, &stopper);
    Multiplexer::instance().run(false, true);
    return stopper.met;
}

// Runs the loop for a while.
inline void runFor(unsigned ms) {
    runUntil([] { return false; }, ms);
}

// Takes over a stream while it lives and keeps each line it is given, with
// the time the line was ended.
class Lines : public std::streambuf {
public:
    struct Line {
        Clock::time_point when;
        std::string text;
    };

    explicit Lines(std::ostream& os) : os_(os), old_(os.rdbuf(this)) {}
    ~Lines() override { os_.rdbuf(old_); }

    std::vector<Line> const& lines() const { return lines_; }
    // Every line, each ended with a newline.
    std::string text() const {
        std::string all;
        for (Line const& line : lines_) all += line.text + "\n";
        return all + pending_;
    }
    // The lines that begin with the prefix.
    std::vector<Line> starting(std::string const& prefix) const {
        std::vector<Line> out;
        for (Line const& line : lines_)
            if (line.text.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
        return out;
    }

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        if (c == '\n') {
            lines_.push_back({Clock::now(), pending_});
            pending_.clear();
        } else {
            pending_ += char(c);
        }
        return c;
    }

private:
    std::ostream& os_;
    std::streambuf* old_;
    std::vector<Line> lines_;
    std::string pending_;
};

inline long millisBetween(Clock::time_point a, Clock::time_point b) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count());
}

// Records what a link tells its user.
class Recorder : public Control::Notify {
public:
    void OnConnect() override {
        ++connects;
        connectTimes.push_back(Clock::now());
    }
    void OnDisconnect() override {
        ++disconnects;
        disconnectTimes.push_back(Clock::now());
    }
    void OnMessage(char const* data, int length) override {
        messages.emplace_back(data, data + length);
    }
    int connects = 0;
    int disconnects = 0;
    std::vector<Clock::time_point> connectTimes;
    std::vector<Clock::time_point> disconnectTimes;
    std::vector<std::string> messages;
};

}  // namespace links
