#pragma once
// DSP processing of the board's voice DSP per timeslot, reached through
// /dev/dsp: voice-activity detection (VAD), signal detection (SD), BSS
// scoring, the noise gate (NG), muting, delay lines, receive gain and tone
// filters.
//
// DSProcReceiverService owns the device: it configures and switches the
// features with the driver's requests, reads the driver's 24-byte event
// records and hands each one to the receiver of its timeslot whose feature
// is on with the record's id. Every enabling takes a fresh non-zero id from
// one counter, so records of an earlier enabling are dropped.
//
// DSProcReceiver is the mix-in of every channel that uses these features: it
// keeps the state and id of each feature and receives the channel's events.
// The owner calls CleanBeforeDestroy() from its destructor.

#include <cstdint>

#include "hardware/device/dsp_driver.h"
#include "hardware/record_device.h"
#include "messages/lgcp/lgcp.h"
#include "runtime/containers/lists.h"

// The payloads of the driver's BSS, tone-filter and flags events, as read
// from the record.
struct dsproc_bss_event {
    float score;
};
struct dsproc_tone_event {
    uint32_t frequency;
    uint32_t presence;  // non-zero: the tone is there
};
struct dsproc_flags_event {
    uint32_t flags;
    uint32_t mask;  // the flags the event reports
};

namespace Hardware {

// A direction's value is negative when the event does not report it, else
// non-zero for voice.
struct DSProcVADEvent {
    int rx = 0;
    int tx = 0;
};
struct DSProcSDEvent {
    int rx = 0;
};

// One feature of a receiver: its state (-1 never set, 0 off, 1 on) and the
// id of its last enabling.
struct DSProcFeature {
    int state;
    uint32_t id;
};

class DSProcReceiver;

class DSProcReceiverService : public RecordDevice {
public:
    // Feature codes: the type of a configuration, an enabling and an event.
    using Type = Device::Dsproc::Type;

    // The service, opening the device on first use.
    static DSProcReceiverService& instance();

    // The record follows the driver's interface version.
    bool configureVAD(unsigned timeslot, LGCP::VADParams const& params);
    bool configureSD(unsigned timeslot);
    void configureDelays(unsigned timeslot, unsigned rx, unsigned tx, unsigned selcal);
    void configureRxGain(unsigned timeslot, int8_t gain_dB);
    void configureToneFilter(unsigned timeslot, unsigned freq, unsigned enable, int duration_ms,
                             int level_dB);
    bool enableVAD(DSProcReceiver& receiver, bool on);
    bool enableBSS(DSProcReceiver& receiver, bool on);
    bool enableNG(DSProcReceiver& receiver, bool on);
    bool enableSD(DSProcReceiver& receiver, bool on);
    bool enableMute(DSProcReceiver& receiver, bool rx, bool tx);
    void disableToneAll(DSProcReceiver& receiver);

private:
    DSProcReceiverService();
    bool opened(char const* what, unsigned timeslot);
    bool configure(uint8_t* record, char const* failure, unsigned timeslot);
    bool enable(DSProcReceiver& receiver, DSProcFeature& feature, Type type, char const* word,
                bool on);
    // DSPROC_ENABLE with a fresh id, or DSPROC_DISABLE; the id, 0 when
    // disabling, or -1 after a failure.
    int64_t request(unsigned timeslot, uint32_t type, char const* word, bool on);
    void dispatch(uint8_t const* record) override;
    void deliver(DSProcReceiver& receiver, uint8_t const* record);
    // Every receiver's features are off and unmuted, its delays and gain
    // back to none.
    void closed() override;

    uint32_t counter_ = 0;
};

class DSProcReceiver {
public:
    DSProcReceiver();
    DSProcReceiver(DSProcReceiver const&) = delete;
    DSProcReceiver& operator=(DSProcReceiver const&) = delete;
    virtual ~DSProcReceiver();

    virtual void dsproc_vad_event(DSProcVADEvent const& event) = 0;
    virtual void dsproc_bss_event(::dsproc_bss_event const* event) = 0;
    virtual void dsproc_sd_event(DSProcSDEvent const& event) = 0;
    virtual void dsproc_tone_flt_event(::dsproc_tone_event const* event) = 0;
    virtual void dsproc_flags_event(::dsproc_flags_event const* event) = 0;
    virtual unsigned dsproc_timeslot() const = 0;

    bool configureVAD(LGCP::VADParams const& params);
    bool enableVAD(bool on);
    bool disableVAD() { return enableVAD(false); }
    bool enableBSS(bool on);
    bool disableBSS() { return enableBSS(false); }
    bool enableNG(bool on);
    bool disableNG() { return enableNG(false); }
    bool configureSD();
    bool enableSD(bool on);
    bool disableSD() { return enableSD(false); }
    bool enableMute(bool rx, bool tx);
    bool disableMute() { return enableMute(false, false); }
    void configureDelays(unsigned rx, unsigned tx, unsigned selcal);
    void configureRxGain(int8_t gain_dB);
    void configureToneFilter(unsigned freq, unsigned enable, int duration_ms, int level_dB);
    // The controller's forms: the gain in dB is the low byte of the value,
    // signed.
    void configureRxGain(LGCP::Gain const& gain);
    void configureToneFilter(LGCP::ToneFilter const& filter);
    void disableToneAll();
    // Switches off what the channel switched on: VAD, BSS, the noise gate,
    // delays, receive gain and every tone filter.
    void CleanBeforeDestroy();

    // -1: never set, 0: off, 1: on.
    int vad_state() const { return vad_.state; }
    uint32_t vad_id() const { return vad_.id; }

private:
    friend class DSProcReceiverService;

    DSProcFeature vad_{-1, 0};
    DSProcFeature bss_{0, 0};
    DSProcFeature ng_{0, 0};
    DSProcFeature sd_{-1, 0};
    int mute_rx_ = -1;
    int mute_tx_ = -1;
    uint32_t mute_id_ = 0;
    bool delays_set_ = false;
    bool rx_gain_set_ = false;
    Containers::CyclicList node_;
};

}  // namespace Hardware
