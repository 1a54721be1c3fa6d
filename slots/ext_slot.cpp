#include "slots/ext_slot.h"

#include <iostream>

#include "hardware/hw_mux.h"
#include "runtime/log/ext.h"

bool ExtSlot::IBeforeDestroy() {
    HwMux::instance().Disable(receive_);
    return true;
}

bool ExtSlot::IActivate(TERM::TermActivateParams const&) {
    OnChangeInputStream(true);
    HwMux::instance().Disconnect(receive_);
    return true;
}

bool ExtSlot::IDeactivate() {
    OnChangeInputStream(false);
    HwMux::instance().Disable(receive_);
    return true;
}

ExtFactory& ExtFactory::instance() {
    static ExtFactory factory;
    return factory;
}

Slot* ExtFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.ext_isSelected()) return nullptr;
    LGCP::ExtParams const& port = params.get_ext();
    int const transmit = port.get_transmitter().getValue();
    int const receive = port.get_receiver().getValue();
    if (transmit < 0 || transmit >= HwMux::bus_outputs || receive < 0 ||
        receive >= HwMux::bus_outputs) {
        std::cerr << ext::header(this) << "transmitter " << transmit << " or receiver " << receive
                  << " names no bus channel (0 to " << HwMux::bus_outputs - 1 << ")" << std::endl;
        return nullptr;
    }
    return new ExtSlot(HwMux::first_bus_output + transmit, HwMux::first_bus_output + receive);
}
