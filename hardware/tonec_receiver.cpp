#include "hardware/tonec_receiver.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/dtmf_driver.h"
#include "hardware/device_names.h"
#include "hardware/request_error.h"
#include "runtime/loop/multiplexer.h"

namespace Hardware {

namespace {

RecordDevice::Spec const device = {
    GetDTMFDevName(),
    O_RDONLY,
    "tonec",
    "open tonec fail, DTMF proceeding disabled: ",
    "TonecReceiverService::OnEvent",
    Device::DtmfEventRecord::size,
};
constexpr uint16_t ring_frequency = 425;
constexpr uint16_t ring_amplitude = 2048;
constexpr uint16_t selcal_amplitude = 12000;

// Every live receiver, in construction order.
Containers::CyclicList receivers;

// A duration from the controller, within what the loop's timers take.
unsigned duration_of(int ms) {
    return unsigned(std::clamp(ms, 0, Multiplexer::max_timer_wait));
}

}  // namespace

// ---- the service ----

TonecReceiverService& TonecReceiverService::instance() {
    static TonecReceiverService service;
    return service;
}

TonecReceiverService::TonecReceiverService() : RecordDevice(device) {
    init();
}

bool TonecReceiverService::pointer_request(uint32_t request, uint8_t* record, char const* failure,
                                           unsigned timeslot) {
    if (Device::ioctl(fd(), request, record) >= 0) return true;
    int const error = errno;
    std::cerr << failure << " timeslot=" << timeslot << RequestError{error} << std::endl;
    return false;
}

bool TonecReceiverService::timeslot_request(uint32_t request, char const* name, char const* word,
                                            unsigned timeslot) {
    if (Device::ioctlValue(fd(), request, timeslot) < 0) {
        int const error = errno;
        std::cerr << name << word << " fail: timeslot=" << timeslot << RequestError{error}
                  << std::endl;
        return false;
    }
    std::clog << name << word << "[" << timeslot << "] ok" << std::endl;
    return true;
}

bool TonecReceiverService::configureDTMF(unsigned timeslot, LGCP::DTMFParams const& params) {
    if (!IsActive() && !init()) {
        std::cerr << "configure DTMF fail: (interface not opened) timeslot=" << timeslot
                  << std::endl;
        return false;
    }
    auto const& threshold = params.get_threshold();
    unsigned const twist = threshold.get_twist().getValue();
    unsigned const ratio = threshold.get_ratio().getValue();
    unsigned const noise = threshold.get_noise().getValue();
    unsigned const silence = params.get_level().get_silence().getValue();
    Device::DtmfConfigureRecord record{timeslot};
    record.put32(Device::DtmfConfigure::twist, twist);
    record.put32(Device::DtmfConfigure::ratio, ratio);
    record.put32(Device::DtmfConfigure::silence, silence);
    record.put32(Device::DtmfConfigure::noise, noise);
    if (!pointer_request(Device::DTMF_CONFIGURE_DETECTOR, record.data(),
                         "DTMF_CONFIGURE_DETECTOR fail:", timeslot))
        return false;
    std::clog << "DTMF_CONFIGURE_DETECTOR ts=" << timeslot << " twist=" << twist
              << " ratio=" << ratio << " noise=" << noise << " silence=" << silence << std::endl;
    return true;
}

bool TonecReceiverService::echoCancel(unsigned timeslot, bool on) {
    return timeslot_request(on ? Device::CHANNEL_LMS_ON : Device::CHANNEL_LMS_OFF, "CHANNEL_LMS",
                            on ? "_ON" : "_OFF", timeslot);
}

bool TonecReceiverService::enableDTMFReject(unsigned timeslot, bool on) {
    return timeslot_request(on ? Device::DTMF_REJECTION_ENABLE : Device::DTMF_REJECTION_DISABLE,
                            "DTMF_REJECTION", on ? "_ENABLE" : "_DISABLE", timeslot);
}

bool TonecReceiverService::enableDTMF(TonecReceiver& receiver, bool on) {
    if (receiver.detector_ == on) return true;
    unsigned const timeslot = receiver.tonec_timeslot();
    if (!on) {
        if (Device::ioctlValue(fd(), Device::DTMF_DISABLE_DETECTOR, timeslot) < 0) {
            int const error = errno;
            std::cerr << "DTMF_DISABLE_DETECTOR fail: timeslot=" << timeslot << RequestError{error}
                      << std::endl;
            return false;
        }
        receiver.detector_ = false;
        std::cerr << "DTMF_DISABLE_DETECTOR done: timeslot=" << timeslot << std::endl;
        return true;
    }
    if (++counter_ == 0) counter_ = 1;
    uint32_t const id = counter_;
    Device::DtmfEnableRecord record{timeslot};
    record.put32(Device::DtmfEnable::id, id);
    if (Device::ioctl(fd(), Device::DTMF_ENABLE_DETECTOR, record.data()) < 0) {
        int const error = errno;
        std::cerr << "DTMF_ENABLE_DETECTOR fail: timeslot=" << timeslot << " id=" << id
                  << RequestError{error} << std::endl;
        return false;
    }
    receiver.id_ = id;
    receiver.detector_ = true;
    std::cerr << "DTMF_ENABLE_DETECTOR done: timeslot=" << timeslot << " id=" << id << std::endl;
    return true;
}

bool TonecReceiverService::enableToneGenerator(unsigned timeslot, uint16_t f1, uint16_t f2,
                                               uint16_t a1, uint16_t a2) {
    Device::DtmfDialRecord record{timeslot};
    record.put16(Device::DtmfDial::f1, f1);
    record.put16(Device::DtmfDial::f2, f2);
    record.put16(Device::DtmfDial::a1, a1);
    record.put16(Device::DtmfDial::a2, a2);
    return pointer_request(Device::DTMF_DIAL, record.data(), "DTMF_DIAL fail:", timeslot);
}

bool TonecReceiverService::configureIVA(TonecReceiver& receiver, LGCP::IVAParams const& params) {
    unsigned const timeslot = receiver.tonec_timeslot();
    if (!IsActive() && !init()) {
        std::cerr << "configure IVA fail: (interface not opened) timeslot=" << timeslot
                  << std::endl;
        return false;
    }
    int const level = params.get_det_lvl_dB().getValue();
    Device::IvaConfigureRecord record{timeslot};
    record.put32(Device::IvaConfigure::level, uint32_t(level));
    if (!pointer_request(Device::IVA_CONFIGURE_DETECTOR, record.data(),
                         "IVA_CONFIGURE_DETECTOR fail:", timeslot))
        return false;
    std::clog << "IVA_CONFIGURE_DETECTOR ts=" << timeslot << " det_lvl_dB=" << level << std::endl;
    return true;
}

bool TonecReceiverService::enableIVA(TonecReceiver& receiver, bool on) {
    if (!timeslot_request(on ? Device::IVA_DETECTOR_ENABLE : Device::IVA_DETECTOR_DISABLE,
                          "IVA_DETECTOR", on ? "_ENABLE" : "_DISABLE", receiver.tonec_timeslot()))
        return false;
    receiver.detector_ = on;
    return true;
}

void TonecReceiverService::translateSelcal(TonecReceiver& receiver,
                                           TERM::SelcalCommand const& command) {
    unsigned const timeslot = receiver.tonec_timeslot();
    std::string const& signs = command.get_signs();
    if (signs.size() < 4) {
        std::cerr << "SELCAL_DIAL fail: timeslot=" << timeslot << " incorect signs:" << signs
                  << std::endl;
        return;
    }
    Device::SelcalDialRecord record{timeslot};
    record.put16(Device::SelcalDial::amplitude, command.amp_isPresent()
                                                    ? uint16_t(command.get_amp().getValue())
                                                    : selcal_amplitude);
    for (size_t i = 0; i < Device::SelcalDial::sign_count; ++i)
        record[Device::SelcalDial::signs + i] = uint8_t(signs[i]);
    pointer_request(Device::SELCAL_DIAL, record.data(), "SELCAL_DIAL fail:", timeslot);
}

void TonecReceiverService::dispatch(uint8_t const* record) {
    uint32_t const code = Device::get32(record + Device::DtmfEvent::code);
    uint32_t const timeslot = Device::get32(record + Device::DtmfEvent::timeslot);
    uint32_t const timestamp = Device::get32(record + Device::DtmfEvent::timestamp);
    uint32_t const id = Device::get32(record + Device::DtmfEvent::id);
    auto fields = [&](std::ostream& os) -> std::ostream& {
        return os << " timestamp=" << timestamp << " timeslot=" << timeslot << " code=" << code
                  << " id=" << id;
    };
    fields(std::clog << "dtmf event: ") << std::endl;

    // The receiver whose detector is on with the record's id; a mixer input
    // and output on one channel share the timeslot. Without one, the first
    // on the timeslot says why the record is dropped.
    TonecReceiver* first = nullptr;
    TonecReceiver* owner = nullptr;
    for (Containers::CyclicList* node : receivers) {
        TonecReceiver* const r = Containers::offset(node, &TonecReceiver::node_);
        if (r->tonec_timeslot() != timeslot) continue;
        if (!first) first = r;
        if (r->detector_ && r->id_ == id) {
            owner = r;
            break;
        }
    }
    if (!first) {
        std::cerr << "receive tonec event from unknown timeslot " << timeslot << std::endl;
        return;
    }
    if (!owner) {
        if (!first->detector_)
            fields(std::clog << "ignore spurious dtmf event (DTMF disabled): ") << std::endl;
        else
            fields(std::clog << "ignore spurious dtmf event: ")
                << " rid=" << first->id_ << std::endl;
        return;
    }
    owner->tonec_event(TonecReceiver::Params{code, timestamp});
}

void TonecReceiverService::closed() {
    for (Containers::CyclicList* node : receivers) {
        TonecReceiver* const r = Containers::offset(node, &TonecReceiver::node_);
        r->detector_ = r->dtmf_on_ = r->iva_on_ = r->reject_on_ = false;
    }
}

// ---- the receiver ----

TonecReceiver::TonecReceiver(unsigned tone_ms, unsigned pause_ms)
    : ring_tone_ms_(tone_ms), ring_pause_ms_(pause_ms) {
    receivers.AddToTail(&node_);
}

TonecReceiver::~TonecReceiver() {
    node_.Unlink();
}

bool TonecReceiver::configureDTMF(LGCP::DTMFParams const& params) {
    return TonecReceiverService::instance().configureDTMF(tonec_timeslot(), params);
}

bool TonecReceiver::enableDTMF(bool on) {
    if (!TonecReceiverService::instance().enableDTMF(*this, on)) return false;
    dtmf_on_ = on;
    return true;
}

bool TonecReceiver::echoCancel(bool on) {
    return TonecReceiverService::instance().echoCancel(tonec_timeslot(), on);
}

bool TonecReceiver::enableDTMFReject(bool on) {
    if (!TonecReceiverService::instance().enableDTMFReject(tonec_timeslot(), on)) return false;
    reject_on_ = on;
    return true;
}

bool TonecReceiver::enableIVA(bool on) {
    if (!TonecReceiverService::instance().enableIVA(*this, on)) return false;
    iva_on_ = on;
    return true;
}

bool TonecReceiver::configureIVA(LGCP::IVAParams const& params) {
    return TonecReceiverService::instance().configureIVA(*this, params);
}

void TonecReceiver::translateSelcal(TERM::SelcalCommand const& command) {
    TonecReceiverService::instance().translateSelcal(*this, command);
}

bool TonecReceiver::enableToneGenerator(uint16_t f1, uint16_t f2, uint16_t a1, uint16_t a2) {
    return TonecReceiverService::instance().enableToneGenerator(tonec_timeslot(), f1, f2, a1, a2);
}

bool TonecReceiver::disableToneGenerator(bool force) {
    if (!force && !sending_) return false;
    if (sending_) {
        timer_.reset();
        sending_ = false;
    }
    return enableToneGenerator(0, 0, 0, 0);
}

void TonecReceiver::translateDTMF(LGCP::TranslateDtmfParams const& params) {
    pending_ = params;
    if (sending_) return;
    sending_ = true;
    on_DTMFPauseFinish();
}

void TonecReceiver::on_DTMFPauseFinish() {
    auto& digits = pending_.ref_digits();
    if (digits.size() == 0) {
        disableToneGenerator(true);
        tone_gen_complete();
        return;
    }
    LGCP::DualTone const& tone = digits[0];
    LGCP::TranslateDtmfParams const& p = pending_;
    enableToneGenerator(uint16_t(tone.get_freq1().getValue()),
                        uint16_t(tone.get_freq2().getValue()),
                        p.amp1_isPresent() ? uint16_t(p.get_amp1().getValue()) : default_amplitude,
                        p.amp2_isPresent() ? uint16_t(p.get_amp2().getValue()) : default_amplitude);
    digits.erase(digits.begin());
    unsigned const ms =
        p.toneDuration_isPresent() ? duration_of(p.get_toneDuration().getValue()) : default_step_ms;
    timer_.set(ms, &TonecReceiver::on_DTMFToneFinish, this);
}

void TonecReceiver::on_DTMFToneFinish() {
    enableSilence();
    LGCP::TranslateDtmfParams const& p = pending_;
    unsigned const ms = p.pauseDuration_isPresent() ? duration_of(p.get_pauseDuration().getValue())
                                                    : default_step_ms;
    timer_.set(ms, &TonecReceiver::on_DTMFPauseFinish, this);
}

void TonecReceiver::activateAudibleCall() {
    // The cadence takes the timer and the generator: a string being sent
    // ends here, so the next one starts afresh.
    if (sending_) {
        sending_ = false;
        pending_.ref_digits().clear();
    }
    on_waitPauseFinish();
}

void TonecReceiver::cancelAudibleCall() {
    if (sending_) return;
    timer_.reset();
    disableToneGenerator(true);
}

void TonecReceiver::on_waitPauseFinish() {
    enableToneGenerator(ring_frequency, 0, ring_amplitude, ring_amplitude);
    timer_.set(ring_tone_ms_, &TonecReceiver::on_waitToneFinish, this);
}

void TonecReceiver::on_waitToneFinish() {
    enableSilence();
    timer_.set(ring_pause_ms_, &TonecReceiver::on_waitPauseFinish, this);
}

void TonecReceiver::CleanBeforeDestroy() {
    if (dtmf_on_) disableDTMF();
    if (iva_on_) enableIVA(false);
    if (reject_on_) enableDTMFReject(false);
}

}  // namespace Hardware
