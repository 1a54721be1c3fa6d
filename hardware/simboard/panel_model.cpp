#include "hardware/simboard/panel_model.h"

#include "hardware/device/record.h"

namespace SimBoard {

namespace {

std::vector<Request> const panel_requests = {
    {Device::HAL_POWER_STATUS, "HAL_POWER_STATUS", Request::pointer, Device::PowerRecord::size},
    {Device::HAL_DIP_SWITCH, "HAL_DIP_SWITCH", Request::pointer, Device::DipSwitchRecord::size},
    {Device::HAL_LED_SET, "HAL_LED_SET", Request::pointer, Device::LedRecord::size},
};

// By the bits of the power record.
char const* const power_names[] = {"none", "main", "standby", "both"};

}  // namespace

std::vector<Request> const& PanelModel::requests() const {
    return panel_requests;
}

int PanelModel::serve(OpenFile&, Request const& request, uint8_t* record, unsigned long) {
    switch (request.number) {
        case Device::HAL_POWER_STATUS:
            Device::put32(record, power_);
            return 0;
        case Device::HAL_DIP_SWITCH:
            Device::put32(record, dip_);
            return 0;
        default: {
            uint32_t const led = Device::get32(record + Device::Panel::led);
            if (led >= Device::Panel::leds) return -EINVAL;
            leds_[led] = Device::get32(record + Device::Panel::on) != 0;
            return 0;
        }
    }
}

void PanelModel::command(Words const& words, std::ostream& out) {
    unsigned long value = 0;
    if (words.size() == 1) {
        out << "power " << power_names[power_] << "\ndip 0x" << std::hex << dip_ << std::dec
            << "\nleds";
        for (uint32_t led = 0; led < Device::Panel::leds; ++led) out << ' ' << (leds_[led] ? "on" : "off");
        out << '\n';
    } else if (words.size() == 2 && words[1] == "help") {
        out << "panel                                   power supplies, DIP switch and LEDs\n"
               "panel power none|main|standby|both      which power supplies deliver power\n"
               "panel dip VALUE                         the DIP switches, bit n switch n + 1\n";
    } else if (words.size() == 3 && words[1] == "power") {
        for (uint32_t bits = 0; bits < 4; ++bits)
            if (words[2] == power_names[bits]) {
                power_ = bits;
                return;
            }
        out << "error: panel power wants none, main, standby or both\n";
    } else if (words.size() == 3 && words[1] == "dip" && NumberOf(words[2], value) &&
               value < (1u << Device::Panel::dip_switches)) {
        dip_ = uint32_t(value);
    } else {
        out << "error: panel wants nothing, power none|main|standby|both, or dip VALUE (0 to "
               "0xff)\n";
    }
}

}  // namespace SimBoard
