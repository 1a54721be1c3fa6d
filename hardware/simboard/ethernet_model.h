#pragma once
// The board's Ethernet interface eth0, reached through the device layer's
// network-interface requests: SIOCGIFFLAGS gives its 16-bit flags (up,
// broadcast, running, multicast unless told otherwise); an unknown name is
// ENODEV, another request EOPNOTSUPP. It has no device file and no request
// of its own; the model sits beside the panel on /dev/hal.
//
// Board-tool commands:
//   ethernet                 eth0's flags, up or down, or absent
//   ethernet up | down       sets or clears IFF_UP and IFF_RUNNING
//   ethernet absent | present

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class EthernetModel : public Model {
public:
    explicit EthernetModel(Board& board) : Model(board) {}

    char const* name() const override { return "ethernet"; }
    char const* path() const override { return "/dev/hal"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile&, Request const&, uint8_t*, unsigned long) override { return -ENOTTY; }
    void command(Words const& words, std::ostream& out) override;
    int netif(char const* name, uint32_t request, uint8_t* data, size_t size) override;

private:
    bool present_ = true;
    uint16_t flags_ = 0x1043;  // up, broadcast, running, multicast
};

}  // namespace SimBoard
