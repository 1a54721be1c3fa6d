#pragma once
// Raw MCC channel slots: one channel of the board's MCC (data, BRI,
// transparent or SS7 mode, as the controller asks), reached on the TDM
// switch through the channel's switch channel. The controller's `userData`
// bytes are written to the channel as they are; every read of the channel
// goes back to the controller as one `userData` signal. No framing is
// applied here: the driver does what the mode asks.

#include <vector>

#include "runtime/loop/event.h"
#include "runtime/system/fd.h"
#include "slots/slot.h"
#include "slots/slot_factory.h"

class MccSlot : public Slot {
public:
    static constexpr unsigned read_size = 1024;

    // Takes the allocated channel's descriptor and its switch channel.
    MccSlot(Fd const& channel, int timeslot);

    bool IUserData(std::vector<char> const& data) override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return timeslot_; }
    int IGetReceiveChannel() override { return timeslot_; }
    char const* GetName() const override { return "MCC"; }

    // "05:MCC: "
    void PutHeader(std::ostream& os) const;

private:
    // Reads the channel dry, one signal per read.
    void OnEvent(int fd, short revents);

    int timeslot_;
    // Holds the slot's descriptor of the channel: destroying the slot
    // releases the channel.
    Event event_;
};

class MccFactory : public SlotFactory {
public:
    static MccFactory& instance();

    char const* GetName() const override { return "MCC"; }
    // A channel of the `mcc` parameters' mode; null, with a line, when the
    // device or the allocation fails.
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    // mcc-data, mcc-bri and mcc-trans as the driver counts them; 0 when the
    // device cannot tell.
    void Query(LGCP::Resources& resources) override;

    // "mcc: "
    void PutHeader(std::ostream& os) const;

private:
    MccFactory() = default;
};
