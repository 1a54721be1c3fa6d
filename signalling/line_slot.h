#pragma once
// The base of the signalling slots on a trunk timeslot (the PSTN slots'
// SS7 and CAS forms, the HDLC slot): the timeslot they stand on, the slot's
// own driving of the switch (connection priority 1: a slot connected to it
// feeds, or is fed by, its own channel; taking the source away gives the
// channel its timeslot back), and following its trunk's status.
//
// A slot's `trunk` names the trunk timeslot as the trunk slots number it:
// 32 x trunk + timeslot, trunks 0 to 3 and timeslots 1 to 31 (timeslot 0
// carries the frame alignment). A slot on a basic access stands on a
// channel of its BRI port instead. The E1 trunks and the BRI ports are both
// numbered from 0 in the trunkStatus signals, which tell them apart by
// their `type`: a slot follows the status of its own trunk, of its own kind.

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
    // The status of trunk `trunk` of the slot's own kind.
    void OnTrunkStatus(unsigned trunk, ACP::TrunkState::NamedNumber const& state) override;

    int line() const { return line_; }
    // The kind of trunk the slot stands on, its number (the E1 trunk or
    // the BRI port) and the slot's channel on it (the timeslot of an E1
    // trunk, the channel of a BRI port).
    ACP::TrunkType::NamedNumber trunk_kind() const { return kind_; }
    int trunk() const { return trunk_; }
    int timeslot() const { return timeslot_; }

    // "05:pstn: "
    void PutHeader(std::ostream& os) const;

protected:
    // A slot on an E1 trunk timeslot (a switch channel 32 x trunk + timeslot).
    explicit LineSlot(int line)
        : LineSlot(line, ACP::TrunkType::e1, line / timeslots, line % timeslots) {}
    LineSlot(int line, ACP::TrunkType::NamedNumber kind, int trunk, int timeslot)
        : line_(line), kind_(kind), trunk_(trunk), timeslot_(timeslot) {}

    // The switch channel the slot's connections use (-1 while it has none),
    // and what feeds it when no slot does (-1: the idle byte).
    virtual int OwnChannel() const = 0;
    virtual int OwnSource() const { return -1; }
    // The slot's trunk has left the normal state: the line is down.
    virtual void OnLineDown() = 0;

    // Whether the slot has a channel to connect with the other slot; a line
    // on the error stream when it has none.
    bool HasChannel(Slot const& other) const;
    // Sends `deactivated` once the command under way has been answered.
    void ReportDeactivated();
    // A counter as a report carries it: saturated at the largest int.
    static int Count(uint64_t count);

private:
    void OnDeactivatedLater() { OnDeactivated(); }

    int const line_;
    ACP::TrunkType::NamedNumber const kind_;
    int const trunk_;
    int const timeslot_;
    bool trunk_normal_ = true;
    Timer deactivated_;
};

// Hands a trunkStatus signal to every slot the factory made, oldest first,
// that stands on a trunk of the kind the signal reports.
void FollowTrunk(SlotFactory const& factory, LGCP::Signal const& signal);
