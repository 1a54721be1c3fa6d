#pragma once
// A DSP modem slot: a modem of the board reached through the modem control
// device /dev/mctl. When the connection functions first ask for one of its
// streams it allocates a modem, sets its data modes and parameters, turns
// both streams on with the modem's channel, and answers or originates the
// call with the PPP daemon on the modem's data device /dev/mdm<n>, or runs a
// fax transfer, a fax receiver or a fax originate instead. The modem stays
// the slot's while it holds the control descriptor.

#include "runtime/system/fd.h"
#include "slots/modem_slot.h"

class DspModemSlot : public ModemSlot {
public:
    explicit DspModemSlot(TERM::ModemParams const& params) : ModemSlot(params) {}
    ~DspModemSlot() override;

    int IGetTransmitChannel() override { return channel_; }
    int IGetReceiveChannel() override { return channel_; }
    char const* GetName() const override { return "dsp-modem"; }
    int modem_id() const override { return modem_; }

private:
    void unbind() override;
    // Sets the modem up once; a set-up that failed runs again next time.
    void InitModem() override;
    // An abort with errno after a line "<text> : <errno text>".
    void Abort(char const* text);
    void RunFaxTransfer();
    void RunFaxReceiver();
    void on_fax_terminate(int status);

    Fd control_;
    int channel_ = -1;
    int modem_ = -1;
};
