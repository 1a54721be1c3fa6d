#include "slots/mixer_factory.h"

#include <fcntl.h>

#include <algorithm>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/mixer_driver.h"
#include "hardware/device/voice_driver.h"
#include "hardware/device_names.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"
#include "slots/mixer_slot.h"

namespace Mixer {

namespace {

// What the controller is told each unit costs of the DSP.
int const dpu_per_mixer = 770;
int const dpu_per_ec = 17;
int const dpu_per_lms = 24;

int smaller(int known, int value) {
    return known == -1 ? value : std::min(known, value);
}

}  // namespace

MixerFactory& MixerFactory::instance() {
    static MixerFactory factory;
    return factory;
}

MixerFactory::~MixerFactory() = default;

void MixerFactory::PutHeader(std::ostream& os) const {
    os << "mixer: ";
}

Mixer* MixerFactory::findMixer(int unit) const {
    for (auto const& m : units_)
        if (!m->isDead() && m->id() == unit) return m.get();
    return nullptr;
}

Slot* MixerFactory::INewSlot(LGCP::CreateParams const& params) {
    if (params.mixerOut_isSelected()) {
        LGCP::MixerOutParams const& out = params.get_mixerOut();
        Mixer* const unit = findMixer(out.get_unit().getValue());
        return unit ? unit->New(out) : nullptr;
    }
    if (params.mixerIn_isSelected()) {
        LGCP::MixerInParams const& in = params.get_mixerIn();
        Mixer* const unit = findMixer(in.get_unit().getValue());
        return unit ? unit->New(in) : nullptr;
    }
    return nullptr;
}

void MixerFactory::RefreshResources() {
    for (auto const& m : units_) m->setDead(true);
    Device::MixResourcesRecord record{0xFFFFFFFF};
    inputs_ = -1;
    channels_ = -1;
    for (size_t found = 0;; ++found) {
        if (mixer_ctl(Device::MIX_RESOURCES, record.data()) < 0) break;
        int const number = int32_t(record.get32(Device::MixResources::unit));
        if (found == max_units) {
            std::cerr << ext::header(this) << "more than " << max_units
                      << " units; unit " << number << " and those after it are not used"
                      << std::endl;
            break;
        }
        channels_ = smaller(channels_, int32_t(record.get32(Device::MixResources::channels)));
        inputs_ = smaller(inputs_, int32_t(record.get32(Device::MixResources::inputs)));
        auto const known = std::find_if(units_.begin(), units_.end(),
                                        [&](auto const& m) { return m->id() == number; });
        if (known == units_.end()) {
            units_.push_back(std::make_unique<Mixer>(number));
            units_.back()->Reset();
        } else if (!(*known)->isDead()) {
            // A driver that names a unit twice would never end the list.
            std::cerr << ext::header(this) << "MIX_RESOURCES named unit " << number
                      << " twice; the list ends there" << std::endl;
            break;
        } else {
            (*known)->setDead(false);
        }
    }
    // Units gone from the board leave the table; each stays for its slots.
    for (auto it = units_.begin(); it != units_.end();) {
        if (!(*it)->isDead()) {
            ++it;
            continue;
        }
        Mixer* const gone = it->release();
        it = units_.erase(it);
        gone->Clear();
    }
    QueryDriverVersion();
}

void MixerFactory::QueryDriverVersion() {
    Fd const voice(Device::open(GetVoiceDevName(), O_RDONLY));
    if (!voice) {
        Errno const error;
        std::cerr << "device \"" << GetVoiceDevName() << "\" open fail: " << error << std::endl;
        return;
    }
    Device::VoiceVersionRecord record;
    version_valid_ = Device::ioctl(voice.lowlevel_fd(), Device::VOICE_VERSION, record.data()) != -1;
    if (!version_valid_) return;
    for (size_t i = 0; i < Device::voice_version_words; ++i) version_[i] = record.get32(4 * i);
}

void MixerFactory::Query(LGCP::Resources& resources) {
    RefreshResources();
    LGCP::MixerResources& list = resources.set_mixer();
    list.clear();
    for (auto const& m : units_) {
        LGCP::MixerResources_subtype entry;
        entry.set_unit(m->id());
        entry.set_tdm_inputs(std::max(channels_, 0));
        entry.set_tdm_outputs(std::max(channels_, 0));
        entry.set_mixer_inputs(std::max(inputs_, 0));
        entry.set_dpu_per_mixer(dpu_per_mixer);
        entry.set_dpu_per_ec(dpu_per_ec);
        entry.set_dpu_per_lms(dpu_per_lms);
        list.push_back(entry);
    }
}

}  // namespace Mixer
