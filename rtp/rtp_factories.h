#pragma once
// The three RTP slot factories as members of the factory chain, with their
// names and headers. They make no slots yet: every create passes them by,
// and they add nothing to the resource report.

#include "slots/slot_factory.h"

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
