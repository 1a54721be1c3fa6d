#pragma once
// A virtual clock for the protocol state machines: the TimeSource of the
// tests. Time moves only when the test advances it, and every timer that
// falls due on the way fires in order of expiry (timers due at the same
// moment in the order they were started). One clock serves both ends of a
// back-to-back pair, so their timers interleave as on a real line.
//
// A Transcript writes down what happens, one line each, after the time it
// happened.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/loop/timer_set.h"
#include "tests/support/bytes.h"
#include "tests/support/dissector.h"

namespace support {

class VirtualClock : public TimeSource {
public:
    VirtualClock() = default;
    VirtualClock(VirtualClock const&) = delete;
    VirtualClock& operator=(VirtualClock const&) = delete;

    std::unique_ptr<TimerSet> MakeTimers(TimerSet::Client& client, unsigned count) override;

    // Milliseconds since the clock was made.
    uint64_t now() const { return now_; }
    // Fires every timer due within ms from now, then stands at now + ms.
    void Advance(uint64_t ms);
    // Fires the earliest timer due at or before `until`, moving the clock to
    // its expiry; false, the clock unmoved, when none is due by then.
    bool FireNext(uint64_t until);
    // The sets made from now on carry this label, and on_expiry is called
    // before each expiry with the label of the set and the timer's index, so
    // that a test can write it down.
    std::string label;
    std::function<void(std::string const& label, unsigned index)> on_expiry;

private:
    class Set;
    friend class Set;
    struct Due {
        uint64_t at = 0;
        uint64_t order = 0;  // when started, to keep timers due together in order
        bool running = false;
    };

    uint64_t now_ = 0;
    uint64_t started_ = 0;
    std::vector<Set*> sets_;
};

class Transcript {
public:
    explicit Transcript(VirtualClock const& clock) : clock_(clock) {}
    // "  1200 u> RR rsp nr=3 f=1": the time in milliseconds, then the line.
    void Add(std::string const& line);
    // A frame on the line: its line, and its octets kept for a capture file.
    void AddFrame(std::string const& line, Bytes const& frame);
    // Forgets what was written so far (a test's set-up).
    void Clear() {
        lines.clear();
        frames.clear();
    }
    // The lines, each ended by a line end.
    std::string Text() const;

    std::vector<std::string> lines;
    // Every frame, with the index of its line.
    std::vector<std::pair<size_t, Bytes>> frames;

private:
    VirtualClock const& clock_;
};

// Reads the transcript's frames back with Wireshark's dissectors (tshark,
// the fields asked for) and compares each, in the words of the transcript,
// with its line: fromLine gives the words of a frame's line ("" leaves the
// frame out: one the transcript calls malformed), fromRow those of the
// dissector's fields. "" when all agree; else the first frame that does not.
std::string DissectionDiffers(Transcript const& transcript, LinkType type,
                              std::vector<std::string> const& fields,
                              std::function<std::string(std::string const&)> const& fromLine,
                              std::function<std::string(std::vector<std::string> const&)> const& fromRow);

// A transcript as a test writes it, in a raw string that opens on a line of
// its own: the text without that first line end.
inline std::string Script(char const* text) { return text[0] == '\n' ? text + 1 : text; }

// A test bench in virtual time: the clock, the transcript and the line
// between one or two protocol ends (0 and 1). A frame put on the line
// reaches the other end after the step that sent it, in order; an end that
// the test plays alone has no peer: its frames go nowhere.
class Bench {
public:
    class End {
    public:
        End(Bench& bench, std::string name);
        virtual ~End() = default;
        // A frame from the other end.
        virtual void Take(Bytes const& frame) = 0;
        // Writes down what changed since the last check (the state).
        virtual void Check() = 0;
        // The timer's name in the transcript; null for one not written down
        // (a repetition of the end's own).
        virtual char const* TimerName(unsigned index) const = 0;

        Bench& bench;
        std::string const name;
        int const index;
    };

    Bench();
    Bench(Bench const&) = delete;
    Bench& operator=(Bench const&) = delete;

    void Put(int from, Bytes frame) { in_flight_.emplace_back(1 - from, std::move(frame)); }
    // Advances the clock by ms, delivering what is in flight before each
    // expiry and writing down what changed after each step.
    void Advance(uint64_t ms);
    // After a step the test took itself: writes down what changed and
    // delivers what is in flight.
    void Settle();

    VirtualClock clock;
    Transcript transcript{clock};
    std::vector<End*> ends;

private:
    void Deliver();
    void Check();
    std::deque<std::pair<int, Bytes>> in_flight_;
};

}  // namespace support
