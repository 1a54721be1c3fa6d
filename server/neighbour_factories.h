#pragma once
// The slot factories of the RTP media and signalling-link subsystems as
// members of the factory chain. They take part in the start-up order with
// their names, but make no slots yet: every create passes them by, and they
// add nothing to the resource report.

#include "server/slot_factory.h"

// A factory that declines every create and reports no resources.
class IdleFactory : public SlotFactory {
public:
    Slot* INewSlot(LGCP::CreateParams const&) override { return nullptr; }
    void Query(LGCP::Resources&) override {}
};

class RtpFactory : public IdleFactory {
public:
    static RtpFactory& instance();
    char const* GetName() const override { return "RTP"; }
};

class RtpKVELFactory : public IdleFactory {
public:
    static RtpKVELFactory& instance();
    char const* GetName() const override { return "RTP Ext KVEL"; }
};

class RtpED137Factory : public IdleFactory {
public:
    static RtpED137Factory& instance();
    char const* GetName() const override { return "RTP Ext ED137"; }
};

class PstnFactory : public IdleFactory {
public:
    static PstnFactory& instance();
    char const* GetName() const override { return "PSTN"; }
};

class IsdnFactory : public IdleFactory {
public:
    static IsdnFactory& instance();
    char const* GetName() const override { return "ISDN"; }
};

class HdlcSlotFactory : public IdleFactory {
public:
    static HdlcSlotFactory& instance();
    char const* GetName() const override { return "HdlcSlotFactory"; }
};
