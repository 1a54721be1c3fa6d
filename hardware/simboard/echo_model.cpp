#include "hardware/simboard/echo_model.h"

#include <cstdlib>

#include "hardware/device/hal_driver.h"

namespace SimBoard {

std::vector<Request> const& EchoModel::requests() const {
    static std::vector<Request> const table = {
        {Device::HAL_ECHO_BUSES, "HAL_ECHO_BUSES", Request::pointer, Device::EchoBusesRecord::size},
    };
    return table;
}

int EchoModel::serve(OpenFile&, Request const&, uint8_t* record, unsigned long) {
    Device::put32(record, buses_);
    return 0;
}

void EchoModel::command(Words const& words, std::ostream& out) {
    if (words.size() == 2 && words[1] == "help") {
        out << "echo [none | BUS...]                   the available echo buses\n";
        return;
    }
    if (words.size() == 2 && words[1] == "none") {
        buses_ = 0;
        return;
    }
    if (words.size() > 1) {
        uint32_t buses = 0;
        for (size_t i = 1; i < words.size(); ++i) {
            char* end = nullptr;
            long const bus = std::strtol(words[i].c_str(), &end, 10);
            if (words[i].empty() || *end || bus < 0 || bus > 15) {
                out << "error: echo wants none or bus numbers 0 to 15\n";
                return;
            }
            buses |= 1u << bus;
        }
        buses_ = buses;
        return;
    }
    out << "echo buses:";
    for (int bus = 0; bus < 16; ++bus)
        if (buses_ >> bus & 1) out << ' ' << bus;
    out << '\n';
}

}  // namespace SimBoard
