#include "hardware/simboard/netif_model.h"

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <set>

#include "hardware/device/netif_driver.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

uint16_t const default_flags = Device::Netif::point_to_point | Device::Netif::no_arp;

// Names live as long as the program: log entries keep pointers to them.
char const* intern(std::string const& name) {
    static std::set<std::string> names;
    return names.insert(name).first->c_str();
}

bool number_of(std::string const& text, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return !text.empty() && text[0] != '-' && *end == '\0';
}

}  // namespace

NetifModel::NetifModel(Board& board) : Model(board) {
    for (uint32_t n = 0; n < 4; ++n) add("hdlc" + std::to_string(n), 600 + n, default_flags);
}

std::vector<Request> const& NetifModel::requests() const {
    static std::vector<Request> const none;
    return none;
}

NetifModel::Interface* NetifModel::find(std::string const& name) {
    for (Interface& netif : interfaces_)
        if (name == netif.name) return &netif;
    return nullptr;
}

void NetifModel::add(std::string const& name, uint32_t channel, uint16_t flags) {
    if (Interface* const known = find(name)) {
        known->channel = channel;
        known->flags = flags;
        return;
    }
    interfaces_.push_back({intern(name), next_index_++, flags, channel, Device::Netif::proto_hdlc});
}

int NetifModel::netif(char const* name, uint32_t request, uint8_t* data, size_t size) {
    Interface* const netif = find(name);
    if (!netif) return -ENODEV;
    RequestLog& log = board().log();
    switch (request) {
        case Device::Netif::get_index:
            log.add(netif->name, "SIOCGIFINDEX", 0, nullptr, 0, 0);
            if (size < Device::Netif::IndexRecord::size) break;
            Device::put32(data, netif->index);
            return 0;
        case Device::Netif::get_flags:
            log.add(netif->name, "SIOCGIFFLAGS", 0, nullptr, 0, 0);
            if (size < Device::Netif::FlagsRecord::size) break;
            Device::put16(data, netif->flags);
            return 0;
        case Device::Netif::set_flags: {
            uint32_t const flags =
                size < Device::Netif::FlagsRecord::size ? 0 : Device::get16(data);
            log.add(netif->name, "SIOCSIFFLAGS", 0, &flags, 1, 0);
            if (size < Device::Netif::FlagsRecord::size) break;
            netif->flags = uint16_t(flags);
            return 0;
        }
        case Device::Netif::wandev:
            if (size < Device::Netif::wan_settings ||
                Device::get32(data + Device::Netif::wan_size) > size - Device::Netif::wan_settings)
                break;
            return wandev(*netif, data, size);
        default:
            return -ENOTTY;
    }
    log.fail_last(EINVAL);
    return -EINVAL;
}

int NetifModel::wandev(Interface& netif, uint8_t* data, size_t) {
    RequestLog& log = board().log();
    uint32_t const type = Device::get32(data + Device::Netif::wan_type);
    int result = 0;
    if (type == Device::Netif::get_iface) {
        log.add(netif.name, "IF_GET_IFACE", 0, nullptr, 0, 0);
        uint32_t const room = Device::get32(data + Device::Netif::wan_size);
        Device::put32(data + Device::Netif::wan_type, Device::Netif::iface_e1);
        Device::put32(data + Device::Netif::wan_size, Device::Netif::e1_settings_size);
        if (room < Device::Netif::e1_settings_size) {
            result = -ENOBUFS;
        } else {
            uint8_t* const settings = data + Device::Netif::wan_settings;
            std::fill(settings, settings + Device::Netif::e1_settings_size, 0);
            Device::put32(settings + Device::Netif::e1_channel, netif.channel);
        }
    } else if (type == Device::Netif::proto_hdlc || type == Device::Netif::proto_ppp) {
        log.add(netif.name, type == Device::Netif::proto_ppp ? "IF_PROTO_PPP" : "IF_PROTO_HDLC", 0,
                nullptr, 0, 0);
        if (netif.flags & Device::Netif::up)
            result = -EBUSY;
        else
            netif.protocol = type;
    } else {
        log.add(netif.name, "SIOCWANDEV", 0, &type, 1, 0);
        result = -EINVAL;
    }
    if (result < 0) log.fail_last(-result);
    return result;
}

void NetifModel::command(Words const& words, std::ostream& out) {
    unsigned long channel = 0, flags = default_flags;
    if (words.size() == 2 && words[1] == "help") {
        out << "netif [none]                            the HDLC network interfaces\n"
               "netif NAME CHANNEL [FLAGS]              adds or changes an interface\n"
               "netif NAME up | down                    sets or clears Device::Netif::up\n";
    } else if (words.size() == 1) {
        if (interfaces_.empty()) out << "no interfaces\n";
        for (Interface const& netif : interfaces_)
            out << netif.name << " index " << netif.index << " flags 0x" << std::hex << netif.flags
                << std::dec << " channel " << netif.channel << ' '
                << (netif.protocol == Device::Netif::proto_ppp ? "ppp" : "hdlc") << ' '
                << (netif.flags & Device::Netif::up ? "up" : "down") << '\n';
    } else if (words.size() == 2 && words[1] == "none") {
        interfaces_.clear();
    } else if (words.size() == 3 && (words[2] == "up" || words[2] == "down")) {
        Interface* const netif = find(words[1]);
        if (!netif) {
            out << "error: no interface " << words[1] << '\n';
            return;
        }
        netif->flags = words[2] == "up" ? uint16_t(netif->flags | Device::Netif::up)
                                        : uint16_t(netif->flags & ~Device::Netif::up);
    } else if ((words.size() == 3 || words.size() == 4) && words[1].size() < 16 &&
               number_of(words[2], channel) && channel < 8192 &&
               (words.size() == 3 || number_of(words[3], flags)) && flags <= 0xFFFF) {
        add(words[1], uint32_t(channel), uint16_t(flags));
    } else {
        out << "error: netif wants nothing, none, NAME up|down, or NAME CHANNEL [FLAGS]\n";
    }
}

}  // namespace SimBoard
