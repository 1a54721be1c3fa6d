#include "monitoring/fault_lines.h"

#include <iostream>
#include <utility>

FaultLines::FaultLines(std::string line, unsigned period) : line_(std::move(line)), period_(period) {}

bool FaultLines::Report() {
    if (period_timer_.is_running()) {
        ++held_;
        return false;
    }
    period_timer_.set(period_, &FaultLines::OnPeriod, this);
    return true;
}

void FaultLines::OnPeriod() {
    if (held_ == 0) return;
    std::cerr << line_ << " (" << held_ << " more in " << period_ << " ms)" << std::endl;
    held_ = 0;
    period_timer_.set(period_, &FaultLines::OnPeriod, this);
}
