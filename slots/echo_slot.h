#pragma once
// Echo slots: one channel of one of the board's 16 echo buses (channel
// 32 * bus + channel), a source and destination on the TDM switch with no
// device of its own. The factory asks the board once, when it is created,
// which echo buses are available, makes slots only on those, and reports
// them in the resource report.

#include "slots/slot.h"
#include "slots/slot_factory.h"

class EchoSlot : private Slot {
public:
    explicit EchoSlot(unsigned channel) : channel_(channel) {}

    Slot* slot() { return this; }

private:
    void IAfterCreate() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return int(channel_); }
    int IGetReceiveChannel() override { return int(channel_); }
    char const* GetName() const override { return "echo"; }

    unsigned channel_;
};

class EchoFactory : public SlotFactory {
public:
    static constexpr unsigned buses = 16;
    static constexpr unsigned channels = 32;

    static EchoFactory& instance();

    char const* GetName() const override { return "Echo"; }
    // Declines (with a line) a channel beyond its bus.
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    // The available buses, in ascending order, as `echoBus`.
    void Query(LGCP::Resources& resources) override;

    bool available(unsigned bus) const { return bus < buses && available_[bus]; }

private:
    EchoFactory();
    // Asks the board's switch driver which echo buses are available.
    void Scan();

    bool available_[buses] = {};
};
