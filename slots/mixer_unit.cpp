#include "slots/mixer_unit.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device_names.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"
#include "slots/mixer_factory.h"
#include "slots/mixer_slot.h"

namespace Mixer {

namespace {

// mix_rx: the channel whose sum takes the contribution, the contributing
// channel, the gain.
Device::MixRxRecord rx_record(SlotRecord const& rx, SlotRecord const& tx, int32_t gain) {
    Device::MixRxRecord record;
    for (size_t at = 0; at < SlotRecord::size; at += 4) {
        record.put32(Device::MixRx::rx + at, rx.get32(at));
        record.put32(Device::MixRx::tx + at, tx.get32(at));
    }
    record.put32(Device::MixRx::gain, uint32_t(gain));
    return record;
}

std::ostream& operator<<(std::ostream& os, SlotRecord const& r) {
    return os << " dev_no=" << int32_t(r.get32(Device::MixChannel::unit))
              << " type=" << r.get32(Device::MixChannel::type)
              << " number=" << int32_t(r.get32(Device::MixChannel::channel));
}

int channels() {
    return MixerFactory::instance().tdm_channels();
}

// A digit string being sent on the slot's timeslot stops in silence.
void stop_dialling(Hardware::TonecReceiver& receiver) {
    if (!receiver.is_inDTMFTransmit()) return;
    receiver.enableSilence();
    receiver.disableToneGenerator(true);
}

}  // namespace

int mixer_ctl(uint32_t request, uint8_t* record) {
    int const fd = Device::open(GetMixerDevName(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    int const result = Device::ioctl(fd, request, record);
    int const error = errno;
    ::close(fd);
    errno = error;
    return result;
}

void Mixer::PutHeader(std::ostream& os) const {
    os << "mixer [" << unit_ << "]: ";
}

SlotRecord Mixer::record_of(int channel) const {
    return SlotRecord{uint32_t(unit_), 0, uint32_t(channel)};
}

bool Mixer::Channel2Slot(LGCP::MixerChannel const& channel, SlotRecord& record) const {
    record = SlotRecord{uint32_t(unit_)};
    if (!channel.tdm_isSelected()) return false;
    record.put32(Device::MixChannel::channel, uint32_t(channel.get_tdm().getValue()));
    return true;
}

bool Mixer::add(SlotRecord const& rx, SlotRecord const& tx, int32_t gain) {
    Device::MixRxRecord record = rx_record(rx, tx, gain);
    if (mixer_ctl(Device::MIX_RX_ADD, record.data()) >= 0) return true;
    Errno const error;
    std::cerr << ext::header(this) << "MIX_RX_ADD fail : " << error << std::endl;
    return false;
}

int Mixer::channel2timeslot(int channel) {
    SlotRecord record = record_of(channel);
    int const timeslot = mixer_ctl(Device::MIX_TDM, record.data());
    if (timeslot >= 0) return timeslot;
    Errno const error;
    std::cerr << ext::header(this) << "MIX_TDM" << record << " fail : " << error << std::endl;
    return -1;
}

int Mixer::timeslot_of(LGCP::MixerChannel const& tdm, int& channel) {
    if (!tdm.tdm_isSelected()) return -1;
    channel = tdm.get_tdm().getValue();
    if (channel < 0 || channel >= channels()) return -1;
    return channel2timeslot(channel);
}

MixerSlot* Mixer::New(LGCP::MixerInParams const& params) {
    int channel = 0;
    int const timeslot = timeslot_of(params.get_channel(), channel);
    if (timeslot < 0) return nullptr;

    auto* const input = new TdmInput(*this, channel, timeslot);
    if (params.summator_isPresent()) {
        LGCP::MixerChannel const& summator = params.get_summator();
        if (summator.tdm_isSelected()) {
            input->summator_tdm_ = true;
            input->summator_ = summator.get_tdm().getValue();
        } else {
            std::cerr << ext::header(this) << "wrong summator coding !" << std::endl;
        }
        // Refused or not, the input is made.
        add(record_of(input->summator_), record_of(channel), full_gain);
    }
    if (params.ecm_isPresent()) {
        LGCP::EchoCancelMode const& ecm = params.get_ecm();
        input->echoCancel(ecm.get_ec() || ecm.get_es());
    }
    return Register(input);
}

bool Mixer::ClearTX(LGCP::MixerChannel const& channel) {
    SlotRecord record;
    if (!Channel2Slot(channel, record)) {
        std::clog << ext::header(this) << "ClearTX error: translation fail" << std::endl;
        return false;
    }
    if (mixer_ctl(Device::MIX_RX_CLEAR, record.data()) >= 0) return true;
    Errno const error;
    std::cerr << ext::header(this) << "MIX_RX_CLEAR" << record << " fail : " << error << std::endl;
    return false;
}

bool Mixer::SetTX(LGCP::MixerOutParams const& params) {
    if (!ClearTX(params.get_channel())) return false;
    SlotRecord rx;
    auto const& inputs = params.get_inputs();
    if (inputs.empty()) {
        if (!Channel2Slot(params.get_channel(), rx)) {
            std::cerr << ext::header(this) << "SetTX error: mixer translation fail" << std::endl;
            return false;
        }
        return add(rx, rx, full_gain);
    }
    for (LGCP::MixerInput const& input : inputs) {
        SlotRecord tx;
        char const* const failure = !Channel2Slot(params.get_channel(), rx)  ? "[1]"
                                    : !Channel2Slot(input.get_channel(), tx) ? "[2]"
                                                                             : nullptr;
        if (failure) {
            std::cerr << ext::header(this) << "SetTX error: translation fail " << failure
                      << std::endl;
            return false;
        }
        if (!add(rx, tx, input.get_gain().getValue())) return false;
    }
    return true;
}

MixerSlot* Mixer::New(LGCP::MixerOutParams const& params) {
    // The sum is set before the channel is tested.
    if (!SetTX(params)) return nullptr;
    int channel = 0;
    int const timeslot = timeslot_of(params.get_channel(), channel);
    if (timeslot < 0) return nullptr;
    return Register(new TdmOutput(*this, channel, timeslot));
}

void Mixer::Release(TdmInput& input) {
    stop_dialling(input);
    if (input.summator_ >= 0) {
        Device::MixRxRecord record =
            rx_record(record_of(input.summator_), record_of(input.channel_), full_gain);
        if (mixer_ctl(Device::MIX_RX_REMOVE, record.data()) < 0) {
            Errno const error;
            std::cerr << ext::header(this) << "MIX_RX_REMOVE rx.number=" << input.summator_
                      << " tx.number=" << input.channel_ << " fail : " << error << std::endl;
        }
    }
    UnRegister(&input);
}

void Mixer::Release(TdmOutput& output) {
    stop_dialling(output);
    std::clog << ext::header(this) << "clear tdm output " << output.channel_ << std::endl;
    SlotRecord record = record_of(output.channel_);
    mixer_ctl(Device::MIX_RX_CLEAR, record.data());
    UnRegister(&output);
}

void Mixer::Reset() {
    std::clog << ext::header(this) << "clear all inputs" << std::endl;
    int failures = 0;
    for (int n = 0; n < channels(); ++n) {
        SlotRecord record = record_of(n);
        if (mixer_ctl(Device::MIX_RX_CLEAR, record.data()) < 0) ++failures;
    }
    if (failures)
        std::cerr << ext::header(this) << "reset fail: " << failures << " errors." << std::endl;
}

void Mixer::Clear() {
    for (MixerSlot* slot : std::vector<MixerSlot*>(slots_)) slot->OnAbort(0);
    CheckForDestroy();
}

MixerSlot* Mixer::Register(MixerSlot* slot) {
    slots_.push_back(slot);
    return slot;
}

void Mixer::UnRegister(MixerSlot* slot) {
    slots_.erase(std::remove(slots_.begin(), slots_.end(), slot), slots_.end());
    CheckForDestroy();
}

void Mixer::CheckForDestroy() {
    // A dead unit belongs to no table any more: it goes with its last slot.
    if (dead_ && slots_.empty()) delete this;
}

}  // namespace Mixer
