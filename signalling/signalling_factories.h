#pragma once
// The three signalling slot factories of the chain. PstnFactory and
// HdlcSlotFactory hand every trunkStatus signal to the slots they made, so
// that those follow their trunk; HdlcSlotFactory marks each create it is
// asked on the log stream while the HDLC trace switch is on. They add nothing
// to the resource report.

#include "slots/slot_factory.h"

class PstnFactory : public IdleFactory {
public:
    static PstnFactory& instance();
    char const* GetName() const override { return "PSTN"; }
    void SelfSignal(LGCP::Signal const& signal) override;

private:
    PstnFactory() = default;
};

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

class HdlcSlotFactory : public IdleFactory {
public:
    static HdlcSlotFactory& instance();
    char const* GetName() const override { return "HdlcSlotFactory"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void SelfSignal(LGCP::Signal const& signal) override;

private:
    HdlcSlotFactory() = default;
};
