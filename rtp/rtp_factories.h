#pragma once
// The three RTP slot factories of the chain. Each counts the board's RTP
// channels on the voice driver for the resource report (once when it is made,
// then at every collection; all three fill the same five fields) and looks at
// every `rtp` create: the radio part of the parameters chooses the factory
// (none: RtpFactory, Kvel: RtpKVELFactory, ED-137: RtpED137Factory). The
// chosen factory checks the stream's settings (its payload table must know
// the codec), makes its kind of RTP slot and opens its stream, and switches
// the slot's echo canceller when the create asks for the suppressor; a
// radio factory then opens the slot's radio signalling. A create it
// declines gets a line on the error stream that says why.

#include <cstdint>
#include <memory>

#include "messages/term/term.h"
#include "rtp/rtp_setup.h"
#include "rtp/rtp_slot.h"
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
    // The factory's kind of slot for the checked settings, not yet open.
    virtual std::unique_ptr<RtpSlot> MakeSlot(RtpSetup const& setup,
                                              LGCP::CreateRtpParams const& params) = 0;
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
    std::unique_ptr<RtpSlot> MakeSlot(RtpSetup const& setup,
                                      LGCP::CreateRtpParams const& params) override;
};

// The radio factories: once the stream is open, the slot opens its
// extended session and sets the timeslot's BSS, noise gate and delays from
// the radio request; a step that fails declines the create.
class RtpRadioFactory : public RtpFactoryBase {
public:
    Slot* INewSlot(LGCP::CreateParams const& params) override;
};

class RtpKVELFactory : public RtpRadioFactory {
public:
    static RtpKVELFactory& instance();
    char const* GetName() const override { return "RTP Ext KVEL"; }

private:
    RtpKVELFactory() { QueryOnce(); }
    bool Takes(TERM::RtpParams const& rtp) const override;
    std::unique_ptr<RtpSlot> MakeSlot(RtpSetup const& setup,
                                      LGCP::CreateRtpParams const& params) override;
};

// Its slots take the session parameters of the radio response that the
// create's ED-137 status carries (the defaults without one).
class RtpED137Factory : public RtpRadioFactory {
public:
    static RtpED137Factory& instance();
    char const* GetName() const override { return "RTP Ext ED137"; }

private:
    RtpED137Factory() { QueryOnce(); }
    bool Takes(TERM::RtpParams const& rtp) const override;
    std::unique_ptr<RtpSlot> MakeSlot(RtpSetup const& setup,
                                      LGCP::CreateRtpParams const& params) override;
};
