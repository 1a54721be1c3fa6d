#pragma once
// The factory of the PSTN signalling slots: the `pstn` creates, SS7 links
// (PstnSlot) and CAS timeslots (CasSlot) on the trunk timeslot that their
// `trunk` names, ISDN links (PstnIsdnSlot) on the D channel of their trunk. It hands every trunkStatus signal to the slots it made, so
// that they follow their trunk, and adds nothing to the resource report.

#include "slots/slot_factory.h"

class PstnFactory : public IdleFactory {
public:
    static PstnFactory& instance();
    char const* GetName() const override { return "PSTN"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void SelfSignal(LGCP::Signal const& signal) override;

private:
    PstnFactory() = default;
};
