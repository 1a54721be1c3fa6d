#include "hardware/dsproc_receiver.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/record.h"
#include "hardware/device_names.h"
#include "hardware/request_error.h"
#include "server/trace_ctl.h"

namespace Hardware {

namespace {

using namespace Device::Dsproc;

RecordDevice::Spec const device = {
    GetDSPDevName(),
    O_RDWR,
    "dsproc",
    "open dsproc fail, VAD proceeding disabled: ",
    "DSProcReceiverService::OnEvent",
    Device::DsprocEventRecord::size,
};
// The interface version whose VAD configuration takes the controller's values.
constexpr int vad_params_version = 2;

// Every live receiver, in construction order.
Containers::CyclicList receivers;

int32_t signed_at(uint8_t const* record, size_t at) {
    return int32_t(Device::get32(record + at));
}

// The BSS score: an IEEE single in the payload's first word.
float float_at(uint8_t const* record) {
    uint32_t const bits = Device::get32(record + Device::DsprocEvent::bss_score);
    float score;
    std::memcpy(&score, &bits, sizeof(score));
    return score;
}

}  // namespace

// ---- the service ----

DSProcReceiverService& DSProcReceiverService::instance() {
    static DSProcReceiverService service;
    return service;
}

DSProcReceiverService::DSProcReceiverService() : RecordDevice(device) {
    init();
}

bool DSProcReceiverService::opened(char const* what, unsigned timeslot) {
    if (IsActive() || init()) return true;
    std::cerr << what << " fail: (interface not opened) timeslot=" << timeslot << std::endl;
    return false;
}

bool DSProcReceiverService::configure(uint8_t* record, char const* failure, unsigned timeslot) {
    if (Device::ioctl(fd(), Device::DSPROC_CONFIGURE, record) >= 0) return true;
    int const error = errno;
    std::cerr << failure << " timeslot=" << timeslot << RequestError{error} << std::endl;
    return false;
}

bool DSProcReceiverService::configureVAD(unsigned timeslot, LGCP::VADParams const& params) {
    if (!opened("configure VAD", timeslot)) return false;
    int const version = Device::ioctlValue(fd(), Device::DSPROC_VERSION, 0);
    Device::DsprocConfigureRecord record{timeslot, vad};
    if (version == vad_params_version) {
        if (!params.v2_isSelected()) {
            std::cerr << "DSPROC_CONFIGURE VAD: params not specified for v2:  timeslot=" << timeslot
                      << std::endl;
            return false;
        }
        auto const& v2 = params.get_v2();
        record.put16(Device::DsprocConfigure::vad_voice_ms,
                     uint16_t(v2.get_voice_th_msec().getValue()));
        record.put16(Device::DsprocConfigure::vad_silence_ms,
                     uint16_t(v2.get_silence_th_msec().getValue()));
        record[Device::DsprocConfigure::vad_energy_dB] = uint8_t(v2.get_e_th_dB().getValue());
    } else {
        // The fixed settings of the other versions, three words.
        record.put32(Device::DsprocConfigure::settings, 3);
        record.put32(Device::DsprocConfigure::settings + 4, 127);
        record.put32(Device::DsprocConfigure::settings + 8, 0);
    }
    if (!configure(record.data(), "DSPROC_CONFIGURE VAD fail:", timeslot)) return false;
    std::clog << "DSPROC_CONFIGURE VAD ts=" << timeslot << std::endl;
    return true;
}

bool DSProcReceiverService::configureSD(unsigned timeslot) {
    if (!opened("configure SD", timeslot)) return false;
    Device::DsprocConfigureRecord record{timeslot, sd};
    if (!configure(record.data(), "DSPROC_CONFIGURE SD fail:", timeslot)) return false;
    std::clog << "DSPROC_CONFIGURE SD ts=" << timeslot << std::endl;
    return true;
}

void DSProcReceiverService::configureDelays(unsigned timeslot, unsigned rx, unsigned tx,
                                            unsigned selcal) {
    if (!opened("configure Delays", timeslot)) return;
    Device::DsprocConfigureRecord record{timeslot, delays};
    record.put32(Device::DsprocConfigure::delay_rx, rx);
    record.put32(Device::DsprocConfigure::delay_tx, tx);
    record.put32(Device::DsprocConfigure::delay_selcal, selcal);
    if (!configure(record.data(), "DSPROC_CONFIGURE DELAYS fail:", timeslot)) return;
    std::clog << "DSPROC_CONFIGURE DELAYS ts=" << timeslot << " rx=" << rx << " tx=" << tx
              << " selcal=" << selcal << std::endl;
}

void DSProcReceiverService::configureRxGain(unsigned timeslot, int8_t gain_dB) {
    if (!opened("Configure Rx gain", timeslot)) return;
    Device::DsprocConfigureRecord record{timeslot, rx_gain};
    record[Device::DsprocConfigure::gain_dB] = uint8_t(gain_dB);
    if (!configure(record.data(), "DSPROC_CONFIGURE Rx Gain fail:", timeslot)) return;
    std::clog << "DSPROC_CONFIGURE RX GAIN ts=" << timeslot << " gain_dB=" << int(gain_dB)
              << std::endl;
}

void DSProcReceiverService::configureToneFilter(unsigned timeslot, unsigned freq, unsigned enable,
                                                int duration_ms, int level_dB) {
    if (!opened("Configure Tone Filter", timeslot)) return;
    Device::DsprocConfigureRecord record{timeslot, tone_filter};
    record.put16(Device::DsprocConfigure::filter_frequency, uint16_t(freq));
    record[Device::DsprocConfigure::filter_enable] = uint8_t(enable);
    record.put16(Device::DsprocConfigure::filter_duration_ms, uint16_t(duration_ms));
    record[Device::DsprocConfigure::filter_level_dB] = uint8_t(level_dB);
    if (!configure(record.data(), "DSPROC_CONFIGURE Tone Filter fail:", timeslot)) return;
    std::clog << "DSPROC_CONFIGURE TONE FILTER ts=" << timeslot << " freq=" << freq
              << ", en=" << enable << ", dur_th_msec=" << duration_ms << ", det_lvl_dB=" << level_dB
              << std::endl;
}

void DSProcReceiverService::disableToneAll(DSProcReceiver& receiver) {
    unsigned const timeslot = receiver.dsproc_timeslot();
    if (!opened("Disable All Tone", timeslot)) return;
    Device::DsprocEnableRecord record{timeslot};
    record.put32(Device::DsprocEnable::type, tone_filter);
    if (Device::ioctl(fd(), Device::DSPROC_DISABLE, record.data()) < 0) {
        int const error = errno;
        std::cerr << "Disable All Tone fail: timeslot=" << timeslot << RequestError{error}
                  << std::endl;
        return;
    }
    std::clog << "DISABLE ALL TONE done:  ts=" << timeslot << std::endl;
}

int64_t DSProcReceiverService::request(unsigned timeslot, uint32_t type, char const* word,
                                       bool on) {
    uint32_t id = 0;
    if (on && ++counter_ == 0) counter_ = 1;
    if (on) id = counter_;
    Device::DsprocEnableRecord record{timeslot};
    record.put32(Device::DsprocEnable::id, id);
    record.put32(Device::DsprocEnable::type, type);
    char const* const name = on ? "DSPROC_ENABLE " : "DSPROC_DISABLE ";
    bool const done =
        Device::ioctl(fd(), on ? Device::DSPROC_ENABLE : Device::DSPROC_DISABLE,
                      record.data()) >= 0;
    int const error = errno;
    std::cerr << name << word << (done ? " done:" : " fail:") << " timeslot=" << timeslot;
    if (on) std::cerr << " id=" << id;
    if (!done) std::cerr << RequestError{error};
    std::cerr << std::endl;
    return done ? int64_t(id) : -1;
}

bool DSProcReceiverService::enable(DSProcReceiver& receiver, DSProcFeature& feature, Type type,
                                   char const* word, bool on) {
    if (feature.state >= 0 && (feature.state != 0) == on) return true;
    int64_t const id = request(receiver.dsproc_timeslot(), type, word, on);
    if (id < 0) return false;
    feature.state = on ? 1 : 0;
    if (on) feature.id = uint32_t(id);
    return true;
}

bool DSProcReceiverService::enableVAD(DSProcReceiver& receiver, bool on) {
    return enable(receiver, receiver.vad_, vad, "VAD", on);
}
bool DSProcReceiverService::enableBSS(DSProcReceiver& receiver, bool on) {
    return enable(receiver, receiver.bss_, bss, "BSS", on);
}
bool DSProcReceiverService::enableNG(DSProcReceiver& receiver, bool on) {
    return enable(receiver, receiver.ng_, ng, "NG", on);
}
bool DSProcReceiverService::enableSD(DSProcReceiver& receiver, bool on) {
    return enable(receiver, receiver.sd_, sd, "SD", on);
}

bool DSProcReceiverService::enableMute(DSProcReceiver& receiver, bool rx, bool tx) {
    if (receiver.mute_rx_ >= 0 && receiver.mute_tx_ >= 0 && (receiver.mute_rx_ != 0) == rx &&
        (receiver.mute_tx_ != 0) == tx)
        return true;
    bool const on = rx || tx;
    uint32_t const rx_bit = rx ? mute_rx : 0u;
    uint32_t const tx_bit = tx ? mute_tx : 0u;
    uint32_t const type = on ? rx_bit | tx_bit : uint32_t(mute_rx | mute_tx);
    int64_t const id = request(receiver.dsproc_timeslot(), type, "MUTE", on);
    if (id < 0) return false;
    receiver.mute_rx_ = rx;
    receiver.mute_tx_ = tx;
    if (on) receiver.mute_id_ = uint32_t(id);
    return true;
}

namespace {

using namespace Device::Dsproc;

// Whether a feature on this receiver takes a record of that type and id.
bool takes(DSProcFeature const& feature, uint32_t id, bool by_id) {
    return feature.state != 0 && (!by_id || feature.id == id);
}

}  // namespace

void DSProcReceiverService::closed() {
    for (Containers::CyclicList* node : receivers) {
        DSProcReceiver* const r = Containers::offset(node, &DSProcReceiver::node_);
        for (DSProcFeature* feature : {&r->vad_, &r->bss_, &r->ng_, &r->sd_}) feature->state = 0;
        r->mute_rx_ = r->mute_tx_ = 0;
        r->delays_set_ = r->rx_gain_set_ = false;
    }
}

void DSProcReceiverService::dispatch(uint8_t const* record) {
    uint32_t const timeslot = Device::get32(record + Device::DsprocEvent::timeslot);
    uint32_t const id = Device::get32(record + Device::DsprocEvent::id);
    uint32_t const type = Device::get32(record + Device::DsprocEvent::type);
    bool const trace = traces.signalling.events;
    if (trace) {
        std::clog << "dsproc event:  timeslot=" << timeslot << " id=" << id << " type=" << type
                  << std::endl;
        if (type == vad)
            std::clog << "dsproc vad event:  dir_mask="
                      << Device::get32(record + Device::DsprocEvent::vad_mask)
                      << " vad_rx=" << signed_at(record, Device::DsprocEvent::vad_rx)
                      << " vad_tx=" << signed_at(record, Device::DsprocEvent::vad_tx) << std::endl;
        else if (type == sd)
            std::clog << "dsproc sd event:  sd_rx=" << signed_at(record, Device::DsprocEvent::sd_rx)
                      << std::endl;
        else if (type == bss)
            std::clog << "dsproc bss event:  score=" << float_at(record) << std::endl;
        else if (type == flags)
            std::clog << "dsproc flags event:  flags=" << std::hex
                      << Device::get32(record + Device::DsprocEvent::flags)
                      << ", mask=" << Device::get32(record + Device::DsprocEvent::flags_mask)
                      << std::dec << std::endl;
    }

    // The receiver whose feature is on with the record's id; a mixer input
    // and output on one channel share the timeslot. Without one, the first
    // on the timeslot drops the record.
    DSProcReceiver* first = nullptr;
    DSProcReceiver* owner = nullptr;
    for (Containers::CyclicList* node : receivers) {
        DSProcReceiver* const r = Containers::offset(node, &DSProcReceiver::node_);
        if (r->dsproc_timeslot() != timeslot) continue;
        if (!first) first = r;
        bool const fits = type == vad   ? takes(r->vad_, id, true)
                          : type == sd  ? takes(r->sd_, id, true)
                          : type == bss ? takes(r->bss_, id, false)
                                        : true;
        if (fits) {
            owner = r;
            break;
        }
    }
    if (!first) {
        if (trace)
            std::cerr << "receive dsproc event from unknown timeslot " << timeslot << std::endl;
        return;
    }
    deliver(owner ? *owner : *first, record);
}

void DSProcReceiverService::deliver(DSProcReceiver& receiver, uint8_t const* record) {
    uint32_t const timeslot = Device::get32(record + Device::DsprocEvent::timeslot);
    uint32_t const id = Device::get32(record + Device::DsprocEvent::id);
    uint32_t const type = Device::get32(record + Device::DsprocEvent::type);
    auto dropped = [&](char const* why) -> std::ostream& {
        return std::clog << why << " timeslot=" << timeslot << " id=" << id << " type=" << type;
    };
    bool const trace = traces.signalling.events;
    if (type == vad || type == sd) {
        DSProcFeature const& feature = type == vad ? receiver.vad_ : receiver.sd_;
        if (feature.state == 0) {
            if (trace) dropped("ignore spurious dsproc vad event (dsproc disabled): ") << std::endl;
            return;
        }
        if (feature.id != id) {
            if (trace)
                dropped("ignore spurious dsproc vad event: ") << " rid=" << feature.id << std::endl;
            return;
        }
        if (type == sd) {
            DSProcSDEvent event;
            event.rx = signed_at(record, Device::DsprocEvent::sd_rx);
            receiver.dsproc_sd_event(event);
            return;
        }
        uint32_t const mask = Device::get32(record + Device::DsprocEvent::vad_mask);
        DSProcVADEvent event;
        event.rx = mask & 1 ? signed_at(record, Device::DsprocEvent::vad_rx) : -1;
        event.tx = mask & 2 ? signed_at(record, Device::DsprocEvent::vad_tx) : -1;
        receiver.dsproc_vad_event(event);
    } else if (type == bss) {
        if (receiver.bss_.state == 0) {
            if (trace) dropped("ignore spurious dsproc bss event (dsproc disabled): ") << std::endl;
            return;
        }
        ::dsproc_bss_event const event{float_at(record)};
        receiver.dsproc_bss_event(&event);
    } else if (type == flags) {
        ::dsproc_flags_event const event{Device::get32(record + Device::DsprocEvent::flags),
                                         Device::get32(record + Device::DsprocEvent::flags_mask)};
        receiver.dsproc_flags_event(&event);
    } else if (type == tone_filter) {
        ::dsproc_tone_event const event{Device::get32(record + Device::DsprocEvent::tone_frequency),
                                        Device::get32(record + Device::DsprocEvent::tone_presence)};
        receiver.dsproc_tone_flt_event(&event);
    }
}

// ---- the receiver ----

DSProcReceiver::DSProcReceiver() {
    receivers.AddToTail(&node_);
}

DSProcReceiver::~DSProcReceiver() {
    node_.Unlink();
}

bool DSProcReceiver::configureVAD(LGCP::VADParams const& params) {
    return DSProcReceiverService::instance().configureVAD(dsproc_timeslot(), params);
}
bool DSProcReceiver::enableVAD(bool on) {
    return DSProcReceiverService::instance().enableVAD(*this, on);
}
bool DSProcReceiver::enableBSS(bool on) {
    return DSProcReceiverService::instance().enableBSS(*this, on);
}
bool DSProcReceiver::enableNG(bool on) {
    return DSProcReceiverService::instance().enableNG(*this, on);
}
bool DSProcReceiver::configureSD() {
    return DSProcReceiverService::instance().configureSD(dsproc_timeslot());
}
bool DSProcReceiver::enableSD(bool on) {
    return DSProcReceiverService::instance().enableSD(*this, on);
}
bool DSProcReceiver::enableMute(bool rx, bool tx) {
    return DSProcReceiverService::instance().enableMute(*this, rx, tx);
}

void DSProcReceiver::configureDelays(unsigned rx, unsigned tx, unsigned selcal) {
    delays_set_ = rx != 0 || tx != 0 || selcal != 0;
    DSProcReceiverService::instance().configureDelays(dsproc_timeslot(), rx, tx, selcal);
}

void DSProcReceiver::configureRxGain(int8_t gain_dB) {
    rx_gain_set_ = gain_dB != 0;
    DSProcReceiverService::instance().configureRxGain(dsproc_timeslot(), gain_dB);
}

void DSProcReceiver::configureToneFilter(unsigned freq, unsigned enable, int duration_ms,
                                         int level_dB) {
    DSProcReceiverService::instance().configureToneFilter(dsproc_timeslot(), freq, enable,
                                                          duration_ms, level_dB);
}

void DSProcReceiver::configureRxGain(LGCP::Gain const& gain) {
    configureRxGain(int8_t(uint8_t(gain.get_gainDB().getValue())));
}

void DSProcReceiver::configureToneFilter(LGCP::ToneFilter const& filter) {
    configureToneFilter(unsigned(filter.get_freq().getValue()), filter.get_enable() ? 1 : 0,
                        filter.get_duration_th_msec().getValue(),
                        filter.get_det_level_dB().getValue());
}

void DSProcReceiver::disableToneAll() {
    DSProcReceiverService::instance().disableToneAll(*this);
}

void DSProcReceiver::CleanBeforeDestroy() {
    if (vad_.state > 0) enableVAD(false);
    if (bss_.state > 0) disableBSS();
    if (ng_.state > 0) disableNG();
    if (delays_set_) configureDelays(0, 0, 0);
    if (rx_gain_set_) configureRxGain(0);
    disableToneAll();
}

}  // namespace Hardware
