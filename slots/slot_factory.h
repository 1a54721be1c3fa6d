#pragma once
// The head of the slot-factory chain: every factory links itself in at the
// head when it is constructed, so a create asks the newest factory first and
// a resource report collects from every factory in the same order. Only what
// the factories of the RTP and signalling subsystems need to take part in the
// chain is here; the slot service that walks it comes with the slot framework.

#include "messages/lgcp/lgcp.h"

class Slot;

class SlotFactory {
public:
    SlotFactory();
    SlotFactory(SlotFactory const&) = delete;
    SlotFactory& operator=(SlotFactory const&) = delete;
    // The factory stays linked: the chain is never shortened.
    virtual ~SlotFactory() = default;

    virtual char const* GetName() const = 0;
    // A new slot for these parameters, or null when they are not for this
    // factory or no resource is free.
    virtual Slot* INewSlot(LGCP::CreateParams const& params) = 0;
    // Adds this factory's resources to the report.
    virtual void Query(LGCP::Resources& resources) = 0;
    // A trunkStatus signal that a control service sends.
    virtual void SelfSignal(LGCP::Signal const&) {}

    Slot* NewSlot(LGCP::CreateParams const& params) { return INewSlot(params); }
    SlotFactory* next() const { return next_; }

    // "<name>: "
    void PutHeader(std::ostream& os) const;

private:
    SlotFactory* next_;
};

// A factory that declines every create and reports no resources.
class IdleFactory : public SlotFactory {
public:
    Slot* INewSlot(LGCP::CreateParams const&) override { return nullptr; }
    void Query(LGCP::Resources&) override {}
};

// The newest factory; null before the first one exists.
extern SlotFactory* firstFactory;
