#pragma once
// Map slots: one or two timeslots of the internal TDM buses that the board
// shares with other equipment, a transmit channel on which the slot's signal
// leaves toward the switch and a receive channel that the switch drives
// (8192 + 128 * bus + channel). Each bus timeslot belongs to one map slot at
// a time: a new map slot takes a timeslot away from an older one by
// destroying the older one.

#include "slots/slot.h"
#include "slots/slot_factory.h"

class MapSlot : public Slot {
public:
    MapSlot(int transmit, int receive) : transmit_(transmit), receive_(receive) {}

    // The streams of the channels the slot has are on from creation.
    void IAfterCreate() override;
    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return transmit_ >= 0; }
    bool IOnInputStream() override { return receive_ >= 0; }
    int IGetTransmitChannel() override { return transmit_; }
    int IGetReceiveChannel() override { return receive_; }
    char const* GetName() const override { return "map"; }

private:
    int transmit_;
    int receive_;
};

class MapFactory : public SlotFactory {
public:
    static constexpr int first_channel = 8192;
    static constexpr int channels = 2048;

    static MapFactory& instance();

    char const* GetName() const override { return "Map"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void Query(LGCP::Resources&) override {}

    // Frees the slot's timeslots and switches its receive channel off.
    void ReleaseMapSlot(MapSlot* slot);
    MapSlot* owner(int channel) const { return owners_[channel - first_channel]; }

private:
    MapFactory() = default;
    void AllocateMapSlot(MapSlot* slot);
    void Take(int channel, MapSlot* slot);

    MapSlot* owners_[channels] = {};
};
