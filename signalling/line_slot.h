#pragma once
// The base of the signalling slots on a trunk timeslot (the PSTN slots'
// SS7 and CAS forms, the HDLC slot): the timeslot they stand on, the slot's
// own driving of the switch (connection priority 1: a slot connected to it
// feeds, or is fed by, its own channel; taking the source away gives the
// channel its timeslot back), and following its trunk's status.
//
// A slot's `trunk` names the trunk timeslot as the trunk slots number it:
// 32 x trunk + timeslot, trunks 0 to 3 and timeslots 1 to 31 (timeslot 0
// carries the frame alignment).

#include <cstdint>
#include <ostream>

#include "runtime/loop/timer.h"
#include "slots/slot.h"
#include "slots/slot_factory.h"

class LineSlot : public Slot {
public:
    static constexpr int trunks = 4;
    static constexpr int timeslots = 32;

    // The switch channel of a `trunk` value; -1, with a line on the error
    // stream after `header`, when it names no timeslot that can carry
    // signalling.
    static int LineOf(long trunk, char const* header);

    int GetConnectionPriority() override { return 1; }
    bool IHwConnectTransmitter(Slot& destination) override;
    bool IHwConnectReceiver(Slot& source) override;
    bool IHwDisconnectTransmitter(Slot& destination) override;
    bool IHwDisconnectReceiver(Slot& source) override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    void OnTrunkStatus(unsigned trunk, ACP::TrunkState::NamedNumber const& state) override;

    int line() const { return line_; }
    int trunk() const { return line_ / timeslots; }
    int timeslot() const { return line_ % timeslots; }

    // "05:pstn: "
    void PutHeader(std::ostream& os) const;

protected:
    explicit LineSlot(int line) : line_(line) {}

    // The switch channel the slot's connections use (-1 while it has none),
    // and what feeds it when no slot does (-1: the idle byte).
    virtual int OwnChannel() const = 0;
    virtual int OwnSource() const { return -1; }
    // The slot's trunk has left the normal state: the line is down.
    virtual void OnLineDown() = 0;

    // Sends `deactivated` once the command under way has been answered.
    void ReportDeactivated();
    // A counter as a report carries it: saturated at the largest int.
    static int Count(uint64_t count);

private:
    void OnDeactivatedLater() { OnDeactivated(); }

    int const line_;
    bool trunk_normal_ = true;
    Timer deactivated_;
};

// Hands a trunkStatus signal to every slot the factory made, oldest first.
void FollowTrunk(SlotFactory const& factory, LGCP::Signal const& signal);
