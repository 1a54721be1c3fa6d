#include "rtp/rtp_factories.h"

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
