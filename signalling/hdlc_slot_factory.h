#pragma once
// The factory of the HDLC slots: the `hdlcParams` creates, raw HDLC frames
// on the trunk timeslot that `trunk` names. It hands every trunkStatus signal
// to the slots it made and marks each create it is asked on the log stream
// while the HDLC trace switch is on; it adds nothing to the resource report.

#include "slots/slot_factory.h"

class HdlcSlotFactory : public IdleFactory {
public:
    static HdlcSlotFactory& instance();
    char const* GetName() const override { return "HdlcSlotFactory"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void SelfSignal(LGCP::Signal const& signal) override;

private:
    HdlcSlotFactory() = default;
};
