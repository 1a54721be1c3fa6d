#pragma once
// The kernel's generic-HDLC network interfaces that the digital modems use,
// reached through the device layer's network-interface requests. Each has a
// name, an index, its flags, the switch channel of its HDLC controller and
// its protocol (raw HDLC or synchronous PPP). The board has hdlc0 to hdlc3,
// point-to-point, down, raw HDLC, on the channels 600 to 603, unless the
// description says otherwise. The interfaces have no device file; the model
// sits beside the modem control device.
//
// The requests and their data are in hardware/device/netif_driver.h:
//   SIOCGIFINDEX  the index
//   SIOCGIFFLAGS, SIOCSIFFLAGS  the 16-bit flags
//   SIOCWANDEV    IF_GET_IFACE: an E1 interface whose 16-byte settings hold
//                 the channel in their fourth word (ENOBUFS, with the size
//                 wanted, for less room); IF_PROTO_HDLC, IF_PROTO_PPP: the
//                 protocol, EBUSY while the interface is up; another type
//                 EINVAL
// An unknown name is ENODEV. Each request is written to the request log
// under the interface's name.
//
// Board-tool commands:
//   netif                 every interface: name, index, flags, channel,
//                         protocol, up or down
//   netif none            no interfaces
//   netif NAME CHANNEL [FLAGS]   adds or changes an interface (flags
//                         default 0x90: point-to-point, no ARP)
//   netif NAME up | down  sets or clears IFF_UP

#include <cstdint>
#include <string>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class NetifModel : public Model {
public:
    explicit NetifModel(Board& board);

    char const* name() const override { return "netif"; }
    char const* path() const override { return "/dev/mctl"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile&, Request const&, uint8_t*, unsigned long) override { return -ENOTTY; }
    void command(Words const& words, std::ostream& out) override;
    int netif(char const* name, uint32_t request, uint8_t* data, size_t size) override;

private:
    struct Interface {
        char const* name;  // kept for the life of the program (the log holds it)
        uint32_t index;
        uint16_t flags;
        uint32_t channel;
        uint32_t protocol;
    };

    Interface* find(std::string const& name);
    int wandev(Interface& netif, uint8_t* data, size_t size);
    void add(std::string const& name, uint32_t channel, uint16_t flags);

    std::vector<Interface> interfaces_;
    uint32_t next_index_ = 10;
};

}  // namespace SimBoard
