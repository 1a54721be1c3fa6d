#pragma once
// The error-stream lines of one kind of fault that a peer may repeat as fast
// as it sends (a frame that does not decode, a command it should not send):
// the first goes out whole at once; those that follow within the period are
// only counted, and at the end of each period in which some were counted
// one line says how many. A flood of faults leaves the first line and then
// at most one line a period. The SNMP agent links hold one per kind.

#include <cstddef>
#include <string>

#include "runtime/loop/timer.h"

class FaultLines {
public:
    static constexpr unsigned period_ms = 10000;

    // `line`: the fault's line as it stands whole, without its newline.
    explicit FaultLines(std::string line, unsigned period = period_ms);
    FaultLines(FaultLines const&) = delete;
    FaultLines& operator=(FaultLines const&) = delete;

    // One more fault: true when its line is to go out now (the caller
    // writes it, with what belongs to this fault); false when it is counted
    // for the line at the end of the period.
    bool Report();
    // The faults counted since the last line.
    size_t held() const { return held_; }

private:
    void OnPeriod();

    std::string const line_;
    unsigned const period_;
    size_t held_ = 0;
    Timer period_timer_;
};
