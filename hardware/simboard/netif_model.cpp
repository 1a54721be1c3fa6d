#include "hardware/simboard/netif_model.h"

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <set>

#include "hardware/device/record.h"
#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

enum : uint32_t {
    SIOCGIFFLAGS = 0x8913,
    SIOCSIFFLAGS = 0x8914,
    SIOCGIFINDEX = 0x8933,
    SIOCWANDEV = 0x894A,
};

enum : uint32_t {
    IF_GET_IFACE = 1,
    IF_IFACE_E1 = 0x1005,
    IF_PROTO_HDLC = 0x2000,
    IF_PROTO_PPP = 0x2001,
};

uint16_t const IFF_UP = 0x1;
uint16_t const default_flags = 0x90;  // IFF_POINTOPOINT | IFF_NOARP
uint32_t const iface_settings_size = 16;

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
    interfaces_.push_back({intern(name), next_index_++, flags, channel, IF_PROTO_HDLC});
}

int NetifModel::netif(char const* name, uint32_t request, uint8_t* data, size_t size) {
    Interface* const netif = find(name);
    if (!netif) return -ENODEV;
    RequestLog& log = board().log();
    switch (request) {
        case SIOCGIFINDEX:
            log.add(netif->name, "SIOCGIFINDEX", 0, nullptr, 0, 0);
            if (size < 4) break;
            Device::put32(data, netif->index);
            return 0;
        case SIOCGIFFLAGS:
            log.add(netif->name, "SIOCGIFFLAGS", 0, nullptr, 0, 0);
            if (size < 2) break;
            Device::put16(data, netif->flags);
            return 0;
        case SIOCSIFFLAGS: {
            uint32_t const flags = size < 2 ? 0 : Device::get16(data);
            log.add(netif->name, "SIOCSIFFLAGS", 0, &flags, 1, 0);
            if (size < 2) break;
            netif->flags = uint16_t(flags);
            return 0;
        }
        case SIOCWANDEV:
            if (size < 8 || Device::get32(data + 4) > size - 8) break;
            return wandev(*netif, data, size);
        default:
            return -ENOTTY;
    }
    log.fail_last(EINVAL);
    return -EINVAL;
}

int NetifModel::wandev(Interface& netif, uint8_t* data, size_t) {
    RequestLog& log = board().log();
    uint32_t const type = Device::get32(data);
    int result = 0;
    if (type == IF_GET_IFACE) {
        log.add(netif.name, "IF_GET_IFACE", 0, nullptr, 0, 0);
        uint32_t const room = Device::get32(data + 4);
        Device::put32(data, IF_IFACE_E1);
        Device::put32(data + 4, iface_settings_size);
        if (room < iface_settings_size) {
            result = -ENOBUFS;
        } else {
            Device::Record<iface_settings_size> settings{0, 0, 0, netif.channel};
            std::copy(settings.data(), settings.data() + iface_settings_size, data + 8);
        }
    } else if (type == IF_PROTO_HDLC || type == IF_PROTO_PPP) {
        log.add(netif.name, type == IF_PROTO_PPP ? "IF_PROTO_PPP" : "IF_PROTO_HDLC", 0, nullptr,
                0, 0);
        if (netif.flags & IFF_UP)
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
               "netif NAME up | down                    sets or clears IFF_UP\n";
    } else if (words.size() == 1) {
        if (interfaces_.empty()) out << "no interfaces\n";
        for (Interface const& netif : interfaces_)
            out << netif.name << " index " << netif.index << " flags 0x" << std::hex
                << netif.flags << std::dec << " channel " << netif.channel << ' '
                << (netif.protocol == IF_PROTO_PPP ? "ppp" : "hdlc") << ' '
                << (netif.flags & IFF_UP ? "up" : "down") << '\n';
    } else if (words.size() == 2 && words[1] == "none") {
        interfaces_.clear();
    } else if (words.size() == 3 && (words[2] == "up" || words[2] == "down")) {
        Interface* const netif = find(words[1]);
        if (!netif) {
            out << "error: no interface " << words[1] << '\n';
            return;
        }
        netif->flags = words[2] == "up" ? uint16_t(netif->flags | IFF_UP)
                                        : uint16_t(netif->flags & ~IFF_UP);
    } else if ((words.size() == 3 || words.size() == 4) && words[1].size() < 16 &&
               number_of(words[2], channel) && channel < 8192 &&
               (words.size() == 3 || number_of(words[3], flags)) && flags <= 0xFFFF) {
        add(words[1], uint32_t(channel), uint16_t(flags));
    } else {
        out << "error: netif wants nothing, none, NAME up|down, or NAME CHANNEL [FLAGS]\n";
    }
}

}  // namespace SimBoard
