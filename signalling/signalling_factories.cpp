#include "signalling/signalling_factories.h"

#include <iostream>

#include "server/trace_ctl.h"
#include "slots/slot.h"

namespace {

// The trunk and state of a trunkStatus signal to every slot the factory
// made, oldest first; a slot may go during the call.
void ForwardTrunkStatus(SlotFactory const& factory, LGCP::Signal const& signal) {
    if (!signal.trunkStatus_isSelected()) return;
    ACP::TrunkStatus const& status = signal.get_trunkStatus();
    unsigned const trunk = unsigned(status.get_trunk().getValue());
    auto const state = ACP::TrunkState::NamedNumber(status.get_state().asInt());
    std::vector<Slot*> const slots = factory.slots();
    for (Slot* slot : slots) slot->OnTrunkStatus(trunk, state);
}

}  // namespace

PstnFactory& PstnFactory::instance() {
    static PstnFactory factory;
    return factory;
}

void PstnFactory::SelfSignal(LGCP::Signal const& signal) { ForwardTrunkStatus(*this, signal); }

IsdnFactory& IsdnFactory::instance() {
    static IsdnFactory factory;
    return factory;
}

HdlcSlotFactory& HdlcSlotFactory::instance() {
    static HdlcSlotFactory factory;
    return factory;
}

void HdlcSlotFactory::SelfSignal(LGCP::Signal const& signal) {
    ForwardTrunkStatus(*this, signal);
}

Slot* HdlcSlotFactory::INewSlot(LGCP::CreateParams const& params) {
    if (traces.signalling.hdlc) std::clog << "\nHdlcSlotFactory.INewSlot\n" << std::endl;
    return IdleFactory::INewSlot(params);
}
