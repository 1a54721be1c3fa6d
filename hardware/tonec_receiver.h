#pragma once
// DTMF and tone services of the board's tone DSP, reached through /dev/dtmf.
//
// TonecReceiverService owns the device: it configures detectors, echo
// cancellers, DTMF rejection, IVA detection and the tone generator of a
// timeslot with the driver's requests, reads the driver's 16-byte event
// records and hands each one to the receiver of its timeslot whose detector
// is on with the record's id.
//
// TonecReceiver is the mix-in of every channel that wants these services on
// its timeslot: it keeps the channel's detector state, sends DTMF digit
// strings and the ringing-tone cadence on one timer, and receives the
// channel's events. The owner calls CleanBeforeDestroy() from its destructor.

#include <cstdint>

#include "hardware/record_device.h"
#include "messages/lgcp/lgcp.h"
#include "messages/term/term.h"
#include "runtime/containers/lists.h"
#include "runtime/loop/timer.h"

namespace Hardware {

class TonecReceiver;

class TonecReceiverService : public RecordDevice {
public:
    // The service, opening the device on first use.
    static TonecReceiverService& instance();

    bool configureDTMF(unsigned timeslot, LGCP::DTMFParams const& params);
    bool echoCancel(unsigned timeslot, bool on);
    bool enableDTMFReject(unsigned timeslot, bool on);
    // Detection on with a fresh id, or off; nothing is asked when the
    // receiver's detector is already so.
    bool enableDTMF(TonecReceiver& receiver, bool on);
    bool enableToneGenerator(unsigned timeslot, uint16_t f1, uint16_t f2, uint16_t a1, uint16_t a2);
    bool configureIVA(TonecReceiver& receiver, LGCP::IVAParams const& params);
    // Also switches the receiver's detector state.
    bool enableIVA(TonecReceiver& receiver, bool on);
    // Dials the first four signs; a failure is only reported.
    void translateSelcal(TonecReceiver& receiver, TERM::SelcalCommand const& command);

private:
    TonecReceiverService();
    // A request whose argument is the timeslot: "NAME" "WORD" "[ts] ok" on
    // the log stream, or the failure line.
    bool timeslot_request(uint32_t request, char const* name, char const* word, unsigned timeslot);
    bool pointer_request(uint32_t request, uint8_t* record, char const* failure, unsigned timeslot);
    void dispatch(uint8_t const* record) override;
    // Every receiver's detection is off.
    void closed() override;

    uint32_t counter_ = 0;
};

class TonecReceiver {
public:
    struct Params {
        uint32_t code;
        uint32_t timestamp;
    };

    static constexpr unsigned ring_tone_ms = 1000;
    static constexpr unsigned ring_pause_ms = 3000;
    static constexpr unsigned default_step_ms = 70;
    static constexpr uint16_t default_amplitude = 16384;

    // The ringing tone's cadence: on for tone_ms, silent for pause_ms.
    explicit TonecReceiver(unsigned tone_ms = ring_tone_ms, unsigned pause_ms = ring_pause_ms);
    TonecReceiver(TonecReceiver const&) = delete;
    TonecReceiver& operator=(TonecReceiver const&) = delete;
    virtual ~TonecReceiver();

    // An event of this channel's timeslot.
    virtual void tonec_event(Params const& params) = 0;
    virtual unsigned tonec_timeslot() const = 0;
    // The digit string has been sent completely.
    virtual void tone_gen_complete() {}

    bool configureDTMF(LGCP::DTMFParams const& params);
    bool enableDTMF(bool on);
    bool disableDTMF() { return enableDTMF(false); }
    bool echoCancel(bool on);
    bool enableDTMFReject(bool on);
    bool enableIVA(bool on);
    bool configureIVA(LGCP::IVAParams const& params);
    void translateSelcal(TERM::SelcalCommand const& command);
    bool enableToneGenerator(uint16_t f1, uint16_t f2, uint16_t a1, uint16_t a2);
    // Silence is a zero-amplitude 1000 Hz tone, not a stopped generator.
    bool enableSilence() { return enableToneGenerator(1000, 1000, 0, 0); }
    // Stops a digit string being sent, or with force any tone; false and
    // nothing done when neither.
    bool disableToneGenerator(bool force);
    // Sends the digits, each a tone then a pause; a string sent meanwhile
    // replaces the digits still to go.
    void translateDTMF(LGCP::TranslateDtmfParams const& params);
    // The ringing tone on, which takes the generator from a digit string;
    // and off, unless a digit string is being sent.
    void activateAudibleCall();
    void cancelAudibleCall();
    bool is_inDTMFTransmit() const { return sending_; }
    // Switches off what the channel switched on: DTMF and IVA detection,
    // DTMF rejection.
    void CleanBeforeDestroy();

    bool detector() const { return detector_; }
    uint32_t detector_id() const { return id_; }

private:
    friend class TonecReceiverService;

    void on_DTMFPauseFinish();
    void on_DTMFToneFinish();
    void on_waitPauseFinish();
    void on_waitToneFinish();

    bool detector_ = false;
    Timer timer_;
    bool sending_ = false;
    uint32_t id_ = 0;
    LGCP::TranslateDtmfParams pending_;
    Containers::CyclicList node_;
    bool iva_on_ = false;
    bool dtmf_on_ = false;
    bool reject_on_ = false;
    unsigned ring_tone_ms_;
    unsigned ring_pause_ms_;
};

}  // namespace Hardware
