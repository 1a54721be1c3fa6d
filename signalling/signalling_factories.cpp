#include "signalling/signalling_factories.h"

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
