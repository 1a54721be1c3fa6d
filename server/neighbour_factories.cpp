#include "server/neighbour_factories.h"

RtpFactory& RtpFactory::instance() {
    static RtpFactory factory;
    return factory;
}

RtpKVELFactory& RtpKVELFactory::instance() {
    static RtpKVELFactory factory;
    return factory;
}

RtpED137Factory& RtpED137Factory::instance() {
    static RtpED137Factory factory;
    return factory;
}

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
