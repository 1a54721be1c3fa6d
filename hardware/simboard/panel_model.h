#pragma once
// The board's front panel on /dev/hal: which power supplies deliver power
// (main and standby, both unless described otherwise), the eight DIP
// switches (all off) and the eight LEDs of the E1 framers (all out), with
// the requests of hal_driver.h.
//
// Board-tool commands:
//   panel                          power supplies, DIP switch and LEDs
//   panel power none|main|standby|both
//   panel dip VALUE                the switches as a number, bit n switch n + 1

#include <cstdint>

#include "hardware/device/hal_driver.h"
#include "hardware/simboard/model.h"

namespace SimBoard {

class PanelModel : public Model {
public:
    explicit PanelModel(Board& board) : Model(board) {}

    char const* name() const override { return "panel"; }
    char const* path() const override { return "/dev/hal"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    uint32_t power_ = Device::Panel::power_main | Device::Panel::power_standby;
    uint32_t dip_ = 0;
    bool leds_[Device::Panel::leds] = {};
};

}  // namespace SimBoard
