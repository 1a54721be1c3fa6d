#pragma once
// The conference mixer of /dev/mixer: units, each with its channels, the
// TDM timeslot of each channel (the unit's first timeslot plus the channel)
// and each channel's sum, a list of contributing channels of the same unit
// with their gains. Unit 0 has 32 channels on timeslots 1024 to 1055 and
// 32 mixer inputs unless the description says otherwise. A request naming
// a unit the board lacks fails with ENODEV; a channel outside its unit, or
// another type than 0, with EINVAL; removing a contribution that is not in
// the sum with ENOENT.
//
// Board-tool commands:
//   mixer                the units
//   mixer UNIT           the sums of the unit's channels: CH <- TXxGAIN...
//   mixer add UNIT CHANNELS INPUTS TIMESLOT   a unit (channels 1 to 128)
//   mixer remove UNIT    the unit disappears

#include <cstdint>
#include <utility>
#include <vector>

#include "hardware/simboard/model.h"

namespace SimBoard {

class MixerModel : public Model {
public:
    static constexpr int max_channels = 128;
    static constexpr int first_bus_output = 8192;

    explicit MixerModel(Board& board);

    char const* name() const override { return "mixer"; }
    char const* path() const override { return "/dev/mixer"; }
    std::vector<Request> const& requests() const override;
    int serve(OpenFile& file, Request const& request, uint8_t* record,
              unsigned long value) override;
    void command(Words const& words, std::ostream& out) override;

private:
    struct Unit {
        int number;
        int channels;
        int inputs;
        int first_timeslot;
        // Per channel: (contributing channel, gain), in the order added.
        std::vector<std::vector<std::pair<int, int32_t>>> sums;
    };

    Unit* unit(int number);
    // The unit and channel of a 12-byte channel record; a negative errno.
    int channel_of(uint8_t const* record, Unit*& found, int& channel);
    int add(uint8_t* record, bool remove);
    int resources(uint8_t* record);
    void add_unit(Words const& words, std::ostream& out);

    std::vector<Unit> units_;  // by number
};

}  // namespace SimBoard
