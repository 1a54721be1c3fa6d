#include "hardware/simboard/clock_model.h"

#include "hardware/device/hal_driver.h"

namespace SimBoard {

namespace {

std::vector<Request> const clock_requests = {
    {Device::HW_CLOCK_SELECT, "HW_CLOCK_SELECT", Request::pointer, Device::ClockRecord::size},
};

}  // namespace

std::vector<Request> const& ClockModel::requests() const {
    return clock_requests;
}

int ClockModel::serve(OpenFile&, Request const&, uint8_t* record, unsigned long) {
    uint32_t const source = Device::get32(record);
    if (source >= sources) return -EINVAL;
    source_ = source;
    return 0;
}

void ClockModel::command(Words const& words, std::ostream& out) {
    if (words.size() == 1) {
        out << "clock source ";
        if (source_ < 0)
            out << "none\n";
        else
            out << source_ << '\n';
    } else if (words.size() == 2 && words[1] == "help") {
        out << "clock                                   the selected TDM clock source\n";
    } else {
        out << "error: clock wants nothing\n";
    }
}

}  // namespace SimBoard
