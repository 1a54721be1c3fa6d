#include "signalling/signalling_factories.h"

#include <iostream>

#include "server/trace_ctl.h"

PstnFactory& PstnFactory::instance() {
    static PstnFactory factory;
    return factory;
}

IsdnFactory& IsdnFactory::instance() {
    static IsdnFactory factory;
    return factory;
}

HdlcSlotFactory& HdlcSlotFactory::instance() {
    static HdlcSlotFactory factory;
    return factory;
}

Slot* HdlcSlotFactory::INewSlot(LGCP::CreateParams const& params) {
    if (traces.signalling.hdlc) std::clog << "\nHdlcSlotFactory.INewSlot\n" << std::endl;
    return IdleFactory::INewSlot(params);
}
