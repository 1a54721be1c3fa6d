#pragma once
// A slot factory makes the slots of one family from the controller's create
// parameters, keeps the list of the slots it made (the slot service owns
// them), adds its share to the resource report and may follow trunkStatus
// signals. Every factory links itself in at the head of one chain when it is
// constructed: a create asks the newest factory first, and the resource
// report collects from every factory in the same order.

#include <vector>

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

    // INewSlot, and the new slot noted as made here.
    Slot* NewSlot(LGCP::CreateParams const& params);
    // Takes every entry of the slot off the list.
    void Remove(Slot* slot);

    std::vector<Slot*> const& slots() const { return slots_; }
    SlotFactory* next() const { return next_; }

    // "<name>: "
    void PutHeader(std::ostream& os) const;

private:
    std::vector<Slot*> slots_;
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
