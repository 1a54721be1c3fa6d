#include "hardware/simboard/ethernet_model.h"

#include <cstring>

#include "hardware/device/netif_driver.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

char const interface_name[] = "eth0";
uint16_t const up_running = Device::Netif::up | Device::Netif::running;

}  // namespace

std::vector<Request> const& EthernetModel::requests() const {
    static std::vector<Request> const none;
    return none;
}

int EthernetModel::netif(char const* name, uint32_t request, uint8_t* data, size_t size) {
    if (!present_ || std::strcmp(name, interface_name) != 0) return -ENODEV;
    if (request != Device::Netif::get_flags) return -EOPNOTSUPP;
    board().log().add(interface_name, "SIOCGIFFLAGS", 0, nullptr, 0, 0);
    if (size < Device::Netif::FlagsRecord::size) return -EINVAL;
    Device::put16(data, flags_);
    return 0;
}

void EthernetModel::command(Words const& words, std::ostream& out) {
    if (words.size() == 1) {
        if (!present_) {
            out << interface_name << " absent\n";
            return;
        }
        out << interface_name << " flags 0x" << std::hex << flags_ << std::dec
            << (flags_ & Device::Netif::up ? " up\n" : " down\n");
    } else if (words.size() == 2 && words[1] == "help") {
        out << "ethernet                                eth0: flags, up or down\n"
               "ethernet up|down|absent|present         changes eth0\n";
    } else if (words.size() == 2 && (words[1] == "up" || words[1] == "down")) {
        flags_ = words[1] == "up" ? uint16_t(flags_ | up_running) : uint16_t(flags_ & ~up_running);
    } else if (words.size() == 2 && (words[1] == "absent" || words[1] == "present")) {
        present_ = words[1] == "present";
    } else {
        out << "error: ethernet wants nothing, up, down, absent or present\n";
    }
}

}  // namespace SimBoard
