#include "tests/support/virtual_clock.h"

#include <algorithm>
#include <cstdio>

namespace support {

class VirtualClock::Set : public TimerSet {
public:
    Set(VirtualClock& clock, Client& client, unsigned count)
        : clock_(clock), client_(client), label_(clock.label), timers_(count) {
        clock_.sets_.push_back(this);
    }
    ~Set() override {
        auto& sets = clock_.sets_;
        sets.erase(std::find(sets.begin(), sets.end(), this));
    }
    void Start(unsigned index, unsigned ms) override {
        timers_.at(index) = Due{clock_.now_ + ms, clock_.started_++, true};
    }
    void Stop(unsigned index) override { timers_.at(index).running = false; }
    bool Running(unsigned index) const override { return timers_.at(index).running; }

    VirtualClock& clock_;
    Client& client_;
    std::string const label_;
    std::vector<Due> timers_;
};

std::unique_ptr<TimerSet> VirtualClock::MakeTimers(TimerSet::Client& client, unsigned count) {
    return std::make_unique<Set>(*this, client, count);
}

bool VirtualClock::FireNext(uint64_t until) {
    Set* set = nullptr;
    unsigned index = 0;
    for (Set* s : sets_) {
        for (unsigned i = 0; i < s->timers_.size(); ++i) {
            Due const& d = s->timers_[i];
            if (!d.running || d.at > until) continue;
            Due const* best = set ? &set->timers_[index] : nullptr;
            if (best && (best->at < d.at || (best->at == d.at && best->order < d.order)))
                continue;
            set = s;
            index = i;
        }
    }
    if (!set) return false;
    set->timers_[index].running = false;
    now_ = std::max(now_, set->timers_[index].at);
    if (on_expiry) on_expiry(set->label_, index);
    set->client_.OnTimer(index);
    return true;
}

void VirtualClock::Advance(uint64_t ms) {
    uint64_t const until = now_ + ms;
    while (FireNext(until)) {
    }
    now_ = until;
}

void Transcript::Add(std::string const& line) {
    char time[16];
    std::snprintf(time, sizeof(time), "%6llu ", static_cast<unsigned long long>(clock_.now()));
    lines.push_back(time + line);
}

void Transcript::AddFrame(std::string const& line, Bytes const& frame) {
    frames.emplace_back(lines.size(), frame);
    Add(line);
}

std::string Transcript::Text() const {
    std::string text;
    for (std::string const& line : lines) text += line + '\n';
    return text;
}

std::string DissectionDiffers(Transcript const& transcript, LinkType type,
                              std::vector<std::string> const& fields,
                              std::function<std::string(std::string const&)> const& fromLine,
                              std::function<std::string(std::vector<std::string> const&)> const& fromRow) {
    std::vector<Bytes> frames;
    std::vector<std::string> expected;
    for (auto const& [index, frame] : transcript.frames) {
        std::string const words = fromLine(transcript.lines[index]);
        if (words.empty()) continue;
        frames.push_back(frame);
        expected.push_back(words);
    }
    Dissection const d = dissect(type, frames, fields);
    if (!d.error.empty()) return d.error;
    for (size_t i = 0; i < frames.size(); ++i) {
        std::string const read = fromRow(d.rows[i]);
        if (read != expected[i])
            return "frame " + std::to_string(i) + " (" + text(frames[i]) + "): Wireshark reads \"" +
                   read + "\", the transcript \"" + expected[i] + "\"";
    }
    return "";
}

Bench::End::End(Bench& bench_, std::string name_)
    : bench(bench_), name(std::move(name_)), index(int(bench_.ends.size())) {
    bench.ends.push_back(this);
    bench.clock.label = name;
}

Bench::Bench() {
    clock.on_expiry = [this](std::string const& label, unsigned index) {
        for (End* end : ends)
            if (end->name == label && end->TimerName(index))
                transcript.Add(label + " " + end->TimerName(index) + " expired");
    };
}

void Bench::Check() {
    for (End* end : ends) end->Check();
}

void Bench::Deliver() {
    while (!in_flight_.empty()) {
        auto const [to, frame] = std::move(in_flight_.front());
        in_flight_.pop_front();
        if (size_t(to) < ends.size()) ends[size_t(to)]->Take(frame);
        Check();
    }
}

void Bench::Advance(uint64_t ms) {
    uint64_t const until = clock.now() + ms;
    for (;;) {
        Deliver();
        if (!clock.FireNext(until)) break;
        Check();
    }
    clock.Advance(until - clock.now());
}

void Bench::Settle() {
    Check();
    Deliver();
}

}  // namespace support
