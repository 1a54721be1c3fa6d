#include "hardware/simboard/mux_model.h"

#include <cerrno>
#include <iomanip>

#include "hardware/device/hal_driver.h"

namespace SimBoard {

namespace {

std::vector<Request> const mux_requests = {
    {Device::HAL_MUX_CONNECT, "HAL_MUX_CONNECT", Request::pointer, Device::MuxRecord::size},
    {Device::HAL_MUX_DISABLE, "HAL_MUX_DISABLE", Request::pointer, Device::MuxDisableRecord::size},
    {Device::HAL_MUX_WRITE, "HAL_MUX_WRITE", Request::pointer, Device::MuxRecord::size},
    {Device::HAL_MUX_READ, "HAL_MUX_READ", Request::pointer, Device::MuxRecord::size},
};

}  // namespace

MuxModel::MuxModel(Board& board)
    : Model(board), state_(ports, off), byte_(ports, 0), stuck_(ports, 0) {}

std::vector<Request> const& MuxModel::requests() const { return mux_requests; }

int MuxModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long) {
    uint32_t const port = Device::get32(record + Device::Mux::output);
    if (port >= ports) return -EINVAL;
    switch (request.number) {
        case Device::HAL_MUX_CONNECT: {
            uint32_t const source = Device::get32(record + Device::Mux::source);
            if (source >= ports) return -EINVAL;
            state_[port] = int32_t(source);
            return 0;
        }
        case Device::HAL_MUX_DISABLE:
            state_[port] = off;
            return 0;
        case Device::HAL_MUX_WRITE: {
            uint32_t const value = Device::get32(record + Device::Mux::byte);
            if (value > 0xFF) return -EINVAL;
            state_[port] = constant;
            byte_[port] = uint8_t(value);
            return 0;
        }
        default:  // HAL_MUX_READ
            Device::put32(record + Device::Mux::byte, read(port));
            return 0;
    }
}

uint8_t MuxModel::driven(uint32_t port, int depth) const {
    int32_t const state = state_[port];
    if (state == constant) return byte_[port];
    if (state == off || depth > 8) return 0xFF;
    return driven(uint32_t(state), depth + 1);
}

uint8_t MuxModel::read(uint32_t port) const { return driven(port, 0) | stuck_[port]; }

void MuxModel::print(std::ostream& out, uint32_t port) const {
    out << port;
    if (state_[port] == off)
        out << " off";
    else if (state_[port] == constant)
        out << " = 0x" << std::hex << std::setw(2) << std::setfill('0') << int(byte_[port])
            << std::dec;
    else
        out << " <- " << state_[port];
    if (stuck_[port]) out << " stuck 0x" << std::hex << int(stuck_[port]) << std::dec;
    out << '\n';
}

void MuxModel::command(Words const& words, std::ostream& out) {
    unsigned long port = 0, mask = 0;
    if (words.size() == 1) {
        uint32_t off_count = 0;
        for (uint32_t p = first_bus_output; p < ports; ++p) off_count += state_[p] == off;
        out << "bus outputs off: " << off_count << " of " << ports - first_bus_output << '\n';
        for (uint32_t p = 0; p < ports; ++p)
            if (state_[p] != off || stuck_[p]) print(out, p);
    } else if (words.size() == 2 && words[1] == "help") {
        out << "mux [PORT]                              the switch ports that are not off\n"
               "mux stuck PORT MASK                     bits of PORT that read as 1\n";
    } else if (words.size() == 2 && NumberOf(words[1], port) && port < ports) {
        print(out, uint32_t(port));
    } else if (words.size() == 4 && words[1] == "stuck" && NumberOf(words[2], port) &&
               port < ports && NumberOf(words[3], mask) && mask <= 0xFF) {
        stuck_[port] = uint8_t(mask);
    } else {
        out << "error: mux wants nothing, a port (0 to " << ports - 1
            << "), or stuck PORT MASK\n";
    }
}

}  // namespace SimBoard
