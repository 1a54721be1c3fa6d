#pragma once
// The mixer slots: a channel of a mixer unit as a slot, with the tone and
// DSP receivers on its timeslot.
//
// TdmInput (create mixerIn) is the channel's input timeslot as the receiving
// end of a switch connection, optionally added with full gain to the sum of
// another channel (its summator); its receivers' events reach the controller
// as the slot's signals.
//
// TdmOutput (create mixerOut) is the channel's timeslot as the sending end
// of a switch connection; creating it sets the channel's sum. It carries the
// tone generator: a digit string sent on it ends with tonec dtmfDone.
//
// Destroying either disables its timeslot on the switch, stops a digit
// string being sent, undoes its part of the sums and switches off what its
// receivers switched on.

#include "hardware/dsproc_receiver.h"
#include "hardware/tonec_receiver.h"
#include "slots/receiving_slot.h"
#include "slots/slot.h"

namespace Mixer {

class Mixer;

class MixerSlot : public Slot {};

class TdmInput : public ReceivingSlot<MixerSlot> {
public:
    TdmInput(Mixer& unit, int channel, int timeslot)
        : unit_(unit), channel_(channel), timeslot_(timeslot) {
        set_receiver_timeslot(timeslot);
    }

    int channel() const { return channel_; }
    int timeslot() const { return timeslot_; }
    // The channel whose sum the input joins, -1 for none.
    int summator() const { return summator_; }

private:
    friend class Mixer;

    bool IBeforeDestroy() override;
    bool Ioctl(LGCP::IoctlParams const& params) override;
    bool IOnInputStream() override { return true; }
    int IGetReceiveChannel() override { return timeslot_; }
    char const* GetName() const override { return "mixer tdm input"; }

    Mixer& unit_;
    int channel_;
    int timeslot_;
    bool summator_tdm_ = false;
    int summator_ = -1;
};

class TdmOutput : private MixerSlot,
                  private Hardware::TonecReceiver,
                  private Hardware::DSProcReceiver {
public:
    TdmOutput(Mixer& unit, int channel, int timeslot)
        : unit_(unit), channel_(channel), timeslot_(timeslot) {}
    ~TdmOutput() override;

    int channel() const { return channel_; }
    int timeslot() const { return timeslot_; }

private:
    friend class Mixer;

    bool IBeforeDestroy() override;
    bool Ioctl(LGCP::IoctlParams const& params) override;
    bool IOnOutputStream() override { return true; }
    int IGetTransmitChannel() override { return timeslot_; }
    char const* GetName() const override { return "mixer tdm output"; }

    // An output reports tone filters, flags and the end of a digit string.
    void tonec_event(Params const&) override {}
    unsigned tonec_timeslot() const override { return unsigned(timeslot_); }
    void tone_gen_complete() override { processToneGenEvent(); }
    void dsproc_vad_event(Hardware::DSProcVADEvent const&) override {}
    void dsproc_bss_event(::dsproc_bss_event const*) override {}
    void dsproc_sd_event(Hardware::DSProcSDEvent const&) override {}
    unsigned dsproc_timeslot() const override { return unsigned(timeslot_); }
    void dsproc_tone_flt_event(::dsproc_tone_event const* e) override { processToneFltEvent(e); }
    void dsproc_flags_event(::dsproc_flags_event const* e) override { processFlagsEvent(e); }

    Mixer& unit_;
    int channel_;
    int timeslot_;
};

}  // namespace Mixer
