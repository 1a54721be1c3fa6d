#pragma once
// One unit of the board's conference mixer, reached through /dev/mixer. A
// unit has channels, each bound to one TDM timeslot: the switch feeds the
// timeslot into the channel (its input) and takes the channel's sum from it
// (its output). A sum is a list of contributions, each a channel of the same
// unit with a gain.
//
// The unit translates the controller's mixer channels into driver records,
// makes the mixer slots on its channels and keeps a list of them (the slot
// service owns them). The mixer factory owns the units it finds; a unit that
// no longer enumerates is dead, and deletes itself once its last slot goes.

#include <cstdint>
#include <ostream>
#include <vector>

#include "hardware/device/mixer_driver.h"
#include "messages/lgcp/lgcp.h"

namespace Mixer {

class MixerSlot;
class TdmInput;
class TdmOutput;

// mix_slot: unit, type (0: a TDM channel), channel.
using SlotRecord = Device::MixChannelRecord;

// One request on /dev/mixer, which is opened for it and closed after: the
// driver's result, or -1 with errno (also when the device cannot be opened).
int mixer_ctl(uint32_t request, uint8_t* record);

class Mixer {
public:
    static constexpr int32_t full_gain = 32767;

    explicit Mixer(int unit) : unit_(unit) {}
    Mixer(Mixer const&) = delete;
    Mixer& operator=(Mixer const&) = delete;

    int id() const { return unit_; }
    bool isDead() const { return dead_; }
    void setDead(bool dead) { dead_ = dead; }

    // A slot on a channel of the unit; null when refused.
    MixerSlot* New(LGCP::MixerInParams const& params);
    MixerSlot* New(LGCP::MixerOutParams const& params);
    // The slot's part on the unit ends; the unit may delete itself.
    void Release(TdmInput& input);
    void Release(TdmOutput& output);

    // Clears the sum of every channel.
    void Reset();
    // The unit has gone: each of its slots sends abort(0).
    void Clear();

    // The record of a tdm channel; false (record zeroed but the unit) for
    // another kind.
    bool Channel2Slot(LGCP::MixerChannel const& channel, SlotRecord& record) const;
    bool ClearTX(LGCP::MixerChannel const& channel);
    // Sets the output channel's sum from the inputs (its own input when
    // there are none).
    bool SetTX(LGCP::MixerOutParams const& params);
    // The TDM timeslot of a channel, or -1.
    int channel2timeslot(int channel);

    MixerSlot* Register(MixerSlot* slot);
    void UnRegister(MixerSlot* slot);
    // Deletes the unit when it is dead and has no slot left.
    void CheckForDestroy();

    std::vector<MixerSlot*> const& slots() const { return slots_; }

    // "mixer [<unit>]: "
    void PutHeader(std::ostream& os) const;

private:
    SlotRecord record_of(int channel) const;
    // The timeslot of a tdm channel within the unit's channels (its number
    // goes to `channel`), or -1.
    int timeslot_of(LGCP::MixerChannel const& tdm, int& channel);
    // MIX_RX_ADD of the contribution; false with a line when refused.
    bool add(SlotRecord const& rx, SlotRecord const& tx, int32_t gain);

    int unit_;
    bool dead_ = false;
    std::vector<MixerSlot*> slots_;
};

}  // namespace Mixer
