#pragma once
// A slot with the tone and DSP receivers on its timeslot whose every event
// becomes one of the slot's signals (the mixer inputs, the RTP slots). The
// slot kind derives from ReceivingSlot<its base> and sets the timeslot as
// soon as it knows it; when the slot goes (or lets go of its timeslot
// before), the receivers switch off what they switched on. A slot that never
// had a timeslot sends nothing.

#include "hardware/dsproc_receiver.h"
#include "hardware/tonec_receiver.h"

template <class Base>
class ReceivingSlot : public Base,
                      protected Hardware::TonecReceiver,
                      protected Hardware::DSProcReceiver {
public:
    ~ReceivingSlot() override { release_receivers(); }

protected:
    void set_receiver_timeslot(int timeslot) { timeslot_ = timeslot; }
    // Switches off what the receivers switched on and leaves the timeslot,
    // so that nothing later reaches whoever holds it next.
    void release_receivers() {
        if (timeslot_ < 0) return;
        TonecReceiver::CleanBeforeDestroy();
        DSProcReceiver::CleanBeforeDestroy();
        timeslot_ = -1;
    }

private:
    void tonec_event(Params const& params) override { this->processTonecEvent(params); }
    unsigned tonec_timeslot() const override { return unsigned(timeslot_); }
    void dsproc_vad_event(Hardware::DSProcVADEvent const& e) override { this->processVADEvent(e); }
    void dsproc_bss_event(::dsproc_bss_event const* e) override { this->processBSSEvent(e); }
    void dsproc_sd_event(Hardware::DSProcSDEvent const& e) override { this->processSDEvent(e); }
    void dsproc_tone_flt_event(::dsproc_tone_event const* e) override {
        this->processToneFltEvent(e);
    }
    void dsproc_flags_event(::dsproc_flags_event const* e) override { this->processFlagsEvent(e); }
    unsigned dsproc_timeslot() const override { return unsigned(timeslot_); }

    int timeslot_ = -1;
};
