#pragma once
// The three signalling slot factories as members of the factory chain, with
// their names and headers. They make no slots yet: every create passes them
// by, and they add nothing to the resource report.

#include "slots/slot_factory.h"

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
