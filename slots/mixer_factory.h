#pragma once
// The mixer slot factory: it finds the board's mixer units when the
// resources are queried (the command query or SIGHUP), reports them, and
// hands each mixerIn or mixerOut create to the unit named in it. Before the
// first query no unit is known and every mixer create is refused. A unit
// that no longer enumerates is noticed at the next query: each slot on it
// sends abort(0).

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "slots/mixer_unit.h"
#include "slots/slot_factory.h"

namespace Mixer {

class MixerFactory : public SlotFactory {
public:
    // The units a query reads at most; the driver's list beyond them is
    // left unread, with a line.
    static constexpr size_t max_units = 100;

    static MixerFactory& instance();
    ~MixerFactory() override;

    char const* GetName() const override { return "Mixer"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    // Refreshes the units, then reports one entry per unit.
    void Query(LGCP::Resources& resources) override;

    // The live unit of that number, or null.
    Mixer* findMixer(int unit) const;
    void RefreshResources();
    // Reads the voice driver's version.
    void QueryDriverVersion();
    // The fewest channels of the units found by the last refresh; -1 when
    // none was.
    int tdm_channels() const { return channels_; }
    int mixer_inputs() const { return inputs_; }
    bool driver_version_valid() const { return version_valid_; }
    std::vector<std::unique_ptr<Mixer>> const& units() const { return units_; }

    // "mixer: "
    void PutHeader(std::ostream& os) const;

private:
    MixerFactory() = default;

    bool version_valid_ = false;
    uint32_t version_[5] = {};
    int inputs_ = -1;
    int channels_ = -1;
    std::vector<std::unique_ptr<Mixer>> units_;
};

}  // namespace Mixer
