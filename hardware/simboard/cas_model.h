#pragma once
// Channel-associated signalling of /dev/e1-cas: CAS opened or closed per
// E1 trunk (0 to 3), and per timeslot the bits received from the line (rx)
// and sent to it (tx). A timeslot that CAS_CONFIGURE has taken reports every
// change of its received bits to each open of the device as a 12-byte
// record {path, timeslot, rx, tx}. Timeslots 0 and 16 carry no channel;
// a trunk, timeslot or release flag out of range, or a channel configured
// on a trunk without CAS open, is refused with EINVAL.
//
// Board-tool commands:
//   cas                       open trunks, and the channels taken or receiving
//   cas TRUNK TIMESLOT RX     the line's bits change; a taken channel reports

#include <cstdint>

#include "hardware/simboard/model.h"

namespace SimBoard {

class CasModel : public Model {
public:
    static constexpr uint32_t trunks = 4;
    static constexpr uint32_t timeslots = 32;

    explicit CasModel(Board& board) : Model(board) {}

    char const* name() const override { return "cas"; }
    char const* path() const override { return "/dev/e1-cas"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    struct Channel {
        bool taken = false;
        uint8_t rx = 0;
        uint8_t tx = 0;
    };

    int configure(uint8_t const* record);
    void line_change(uint32_t trunk, uint32_t timeslot, uint8_t rx, std::ostream& out);

    bool open_[trunks] = {};
    Channel channel_[trunks][timeslots];
};

}  // namespace SimBoard
