#pragma once
// External port slots: a pair of internal TDM bus channels, a transmit
// channel that the switch takes the slot's signal from and a receive channel
// that the switch drives toward the port (8192 + the given index). The
// output is available from creation; the input is opened by `activate` and
// closed by `deactivate`, and while it is closed the port receives nothing.

#include "slots/slot.h"
#include "slots/slot_factory.h"

class ExtSlot : public Slot {
public:
    ExtSlot(int transmit, int receive) : transmit_(transmit), receive_(receive) {}

    void IAfterCreate() override { OnChangeOutputStream(true); }
    bool IBeforeDestroy() override;
    bool IActivate(TERM::TermActivateParams const&) override;
    bool IDeactivate() override;
    bool IOnOutputStream() override { return true; }
    // A source is taken only while the port is activated.
    bool IOnInputStream() override { return GetInputStream(); }
    int IGetTransmitChannel() override { return transmit_; }
    int IGetReceiveChannel() override { return receive_; }
    char const* GetName() const override { return "bri"; }

private:
    int transmit_;
    int receive_;
};

class ExtFactory : public SlotFactory {
public:
    static ExtFactory& instance();

    char const* GetName() const override { return "Ext"; }
    // Declines (with a line) a channel that names no bus output.
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void Query(LGCP::Resources&) override {}

private:
    ExtFactory() = default;
};
