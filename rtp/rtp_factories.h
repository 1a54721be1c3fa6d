#pragma once
// The three RTP slot factories of the chain. Each counts the board's RTP
// channels on the voice driver for the resource report (once when it is made,
// then at every collection; all three fill the same five fields) and looks at
// every `rtp` create: the radio part of the parameters chooses the factory
// (none: RtpFactory, Kvel: RtpKVELFactory, ED-137: RtpED137Factory), whose
// payload table must know the stream's codec. The chosen factory declines
// every create with a line on the error stream that says why.

#include <cstdint>

#include "messages/term/term.h"
#include "slots/slot_factory.h"

class RtpFactoryBase : public SlotFactory {
public:
    // The counting request of /dev/voice: the argument value is a codec
    // selector, the result the number of channels of that kind.

    Slot* INewSlot(LGCP::CreateParams const& params) override;
    // Sets rtp-g729, rtp-g723, rtp-g711, rtp-g711mcc and universal to the
    // driver's counts for the selectors 4, 2, 1, 8 and 65 (0 when the driver
    // gives none or cannot be opened).
    void Query(LGCP::Resources& resources) override;

protected:
    // Whether the radio part of the stream's parameters is for this factory.
    virtual bool Takes(TERM::RtpParams const& rtp) const = 0;
    // The first resource query, from each factory's constructor (where the
    // factory's name is known).
    void QueryOnce();
};

class RtpFactory : public RtpFactoryBase {
public:
    static RtpFactory& instance();
    char const* GetName() const override { return "RTP"; }

private:
    RtpFactory() { QueryOnce(); }
    bool Takes(TERM::RtpParams const& rtp) const override;
};

class RtpKVELFactory : public RtpFactoryBase {
public:
    static RtpKVELFactory& instance();
    char const* GetName() const override { return "RTP Ext KVEL"; }

private:
    RtpKVELFactory() { QueryOnce(); }
    bool Takes(TERM::RtpParams const& rtp) const override;
};

class RtpED137Factory : public RtpFactoryBase {
public:
    static RtpED137Factory& instance();
    char const* GetName() const override { return "RTP Ext ED137"; }

private:
    RtpED137Factory() { QueryOnce(); }
    bool Takes(TERM::RtpParams const& rtp) const override;
};
