#pragma once
// A digital modem slot: an HDLC network interface of the kernel (hdlc<n>)
// switched to synchronous PPP, with the PPP daemon on it. When the
// connection functions first ask for one of its streams it reads the
// interface's switch channel and starts the daemon; when it goes it takes
// the interface down and back to raw HDLC, and the factory has the
// interface free again. Its helper-link session is always -1.

#include <string>

#include "slots/modem_slot.h"

class HdlcModemSlot : public ModemSlot {
public:
    HdlcModemSlot(TERM::ModemParams const& params, std::string const& interface)
        : ModemSlot(params), interface_(interface) {}
    ~HdlcModemSlot() override;

    int IGetTransmitChannel() override { return channel_; }
    int IGetReceiveChannel() override { return channel_; }
    char const* GetName() const override { return "digital-modem"; }
    int modem_id() const override { return -1; }

    std::string const& deviceName() const { return interface_; }

private:
    void unbind() override;
    // Switches the interface to PPP and starts the daemon; only while no
    // child runs.
    void InitModem() override;
    // The interface down and back to raw HDLC.
    void Restore();

    int channel_ = -1;
    std::string interface_;
};
