#pragma once
// The ISDN signalling slot factory of the chain; it adds nothing to the
// resource report. The PSTN and HDLC slot factories have files of their own.

#include "slots/slot_factory.h"

// ISDN links on HDLC channels of the MCC (`isdn`), on ATS-QSIG links of
// the DSP (`ats-qsig`), and the B channels of those (`ats-qsig-b`); made in
// isdn/isdn_factory.cpp.
class IsdnFactory : public SlotFactory {
public:
    static IsdnFactory& instance();
    char const* GetName() const override { return "ISDN"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void Query(LGCP::Resources&) override {}

private:
    IsdnFactory() = default;
};
