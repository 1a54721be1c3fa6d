#include "signalling/signalling_factories.h"

IsdnFactory& IsdnFactory::instance() {
    static IsdnFactory factory;
    return factory;
}
