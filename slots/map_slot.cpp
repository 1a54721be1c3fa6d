#include "slots/map_slot.h"

#include <iostream>

#include "hardware/hw_mux.h"
#include "slots/slots.h"

namespace {

int GetMapTimeSlot(LGCP::SharedChannel const& shared) {
    return MapFactory::first_channel + 128 * int(shared.get_bus().getValue()) +
           int(shared.get_channel().getValue());
}

}  // namespace

void MapSlot::IAfterCreate() {
    if (receive_ >= 0) OnChangeInputStream(true);
    if (transmit_ >= 0) OnChangeOutputStream(true);
}

bool MapSlot::IBeforeDestroy() {
    MapFactory::instance().ReleaseMapSlot(this);
    return true;
}

MapFactory& MapFactory::instance() {
    static MapFactory factory;
    return factory;
}

Slot* MapFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.map_isSelected()) return nullptr;
    LGCP::MapParams const& map = params.get_map();
    int const transmit = map.transmitter_isPresent() ? GetMapTimeSlot(map.get_transmitter()) : -1;
    int const receive = map.receiver_isPresent() ? GetMapTimeSlot(map.get_receiver()) : -1;
    auto* const slot = new MapSlot(transmit, receive);
    AllocateMapSlot(slot);
    return slot;
}

void MapFactory::AllocateMapSlot(MapSlot* slot) {
    if (slot->IGetReceiveChannel() >= 0) Take(slot->IGetReceiveChannel(), slot);
    if (slot->IGetTransmitChannel() >= 0) Take(slot->IGetTransmitChannel(), slot);
}

void MapFactory::Take(int channel, MapSlot* slot) {
    MapSlot*& entry = owners_[channel - first_channel];
    // A slot whose two channels are one timeslot already owns it.
    if (entry && entry != slot) {
        std::cerr << "map-slot: two slots require the same ipc-slot, remove old." << std::endl;
        std::cerr << "new slot " << *slot << " <-> old slot " << *entry << std::endl;
        Slots::instance().Destroy(entry);
    }
    entry = slot;
}

void MapFactory::ReleaseMapSlot(MapSlot* slot) {
    int const receive = slot->IGetReceiveChannel();
    int const transmit = slot->IGetTransmitChannel();
    if (receive >= 0) {
        std::clog << "map: disable map channel " << receive - first_channel << std::endl;
        HwMux::instance().Disable(receive);
        MapSlot*& entry = owners_[receive - first_channel];
        if (entry != slot)
            std::cerr << "map-slot: internal error! MapFactory::ReleaseMapSlot() code 1"
                      << std::endl;
        entry = nullptr;
    }
    if (transmit >= 0 && transmit != receive) {
        MapSlot*& entry = owners_[transmit - first_channel];
        if (entry != slot)
            std::cerr << "map-slot: internal error! MapFactory::ReleaseMapSlot() code 2"
                      << std::endl;
        entry = nullptr;
    }
}
