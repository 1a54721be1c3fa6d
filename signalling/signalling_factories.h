#pragma once
// The ISDN signalling slot factory of the chain; it adds nothing to the
// resource report. The PSTN and HDLC slot factories have files of their own.

#include "slots/slot_factory.h"

class IsdnFactory : public IdleFactory {
public:
    static IsdnFactory& instance();
    char const* GetName() const override { return "ISDN"; }

private:
    IsdnFactory() = default;
};
