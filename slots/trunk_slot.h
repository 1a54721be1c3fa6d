#pragma once
// Trunk slots: one timeslot of an E1 trunk (channel 32 * trunk + timeslot)
// or one channel of a BRI port (channel 4 * port + channel), a source and
// destination on the TDM switch with no device of its own. One factory per
// trunk or port keeps at most one slot per timeslot: a second create for a
// busy timeslot destroys the old slot and replaces it.
//
// The twelve factories are static objects, linked into the chain before any
// named factory: trunk0 to trunk3, then trunk_bri0 to trunk_bri7.

#include <cstdint>

#include "slots/slot.h"
#include "slots/slot_factory.h"

class TrunkFactory;

class TrunkSlot : public Slot {
public:
    explicit TrunkSlot(uint32_t channel) : channel_(channel) {}

    int GetTrunk() override { return int(channel_ / 32); }
    int GetTrunkTimeSlot() override { return GetTimeSlot(); }
    // Both streams are on from creation.
    void IAfterCreate() override;
    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return int(channel_); }
    int IGetReceiveChannel() override { return int(channel_); }
    char const* GetName() const override { return "trunk"; }
    virtual int GetTimeSlot() { return int(channel_ % 32); }

    TrunkFactory* GetSlotFactory() const;

protected:
    uint32_t channel_;
};

class TrunkBRISlot : public virtual TrunkSlot {
public:
    explicit TrunkBRISlot(uint32_t channel) : TrunkSlot(channel) {}

    int GetTrunk() override { return int(channel_ / 4); }
    int GetTrunkTimeSlot() override { return GetTimeSlot(); }
    int GetTimeSlot() override { return int(channel_ % 4); }
    char const* GetName() const override { return "trunkBRI"; }
};

class TrunkFactory : public SlotFactory {
public:
    TrunkFactory(unsigned trunk, unsigned first_channel);

    char const* GetName() const override { return "Trunks"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void Query(LGCP::Resources&) override {}
    virtual void ReleaseTrunkSlot(TrunkSlot* slot);

protected:
    // A new slot of kind S on the timeslot of these parameters (null when
    // they name another trunk or a timeslot beyond `timeslots`); a slot that
    // held the timeslot is destroyed first.
    template <class S>
    Slot* Make(LGCP::TrunkParams const& params, unsigned timeslots);

    TrunkSlot* slots_[32] = {};
    unsigned trunk_ = 0;
    unsigned first_channel_ = 0;
};

class TrunkBRIFactory : public virtual TrunkFactory {
public:
    TrunkBRIFactory(unsigned port, unsigned first_channel);

    char const* GetName() const override { return "TrunksBRI"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
};

extern TrunkFactory trunk0, trunk1, trunk2, trunk3;
extern TrunkBRIFactory trunk_bri0, trunk_bri1, trunk_bri2, trunk_bri3, trunk_bri4, trunk_bri5,
    trunk_bri6, trunk_bri7;

// Does nothing: the program's wiring calls it so that the static trunk
// factories of this file are part of the program.
void LinkTrunkFactories();
