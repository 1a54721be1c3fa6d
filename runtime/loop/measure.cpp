#include "runtime/loop/measure.h"

#include "runtime/system/clock.h"

void Measure::begin() {
    start_ = Mux::microseconds();
}

void Measure::end() {
    record(Mux::microseconds() - start_);
}

void Measure::record(uint32_t duration) {
    cur_ = duration;
    if (first_) {
        first_ = false;
        min_ = max_ = duration;
        counter_ = 1;
        return;
    }
    ++counter_;
    if (duration < min_) min_ = duration;
    if (duration > max_) max_ = duration;
}

void Measure::put(std::ostream& os) const {
    std::ios::fmtflags const saved = os.flags();
    os << std::dec << "min=" << min_ << " max=" << max_ << " avg=" << cur_
       << " counter=" << counter_;
    os.flags(saved);
}

std::ostream& operator<<(std::ostream& os, Measure const& m) {
    m.put(os);
    return os;
}
