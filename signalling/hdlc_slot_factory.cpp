#include "signalling/hdlc_slot_factory.h"

#include <iostream>

#include "server/trace_ctl.h"
#include "signalling/hdlc_slot.h"

HdlcSlotFactory& HdlcSlotFactory::instance() {
    static HdlcSlotFactory factory;
    return factory;
}

void HdlcSlotFactory::SelfSignal(LGCP::Signal const& signal) { FollowTrunk(*this, signal); }

Slot* HdlcSlotFactory::INewSlot(LGCP::CreateParams const& params) {
    if (traces.signalling.hdlc) std::clog << "\nHdlcSlotFactory.INewSlot\n" << std::endl;
    if (!params.hdlcParams_isSelected()) return nullptr;
    LGCP::HdlcParams const& hdlc = params.get_hdlcParams();
    int const line = LineSlot::LineOf(hdlc.get_trunk().getValue(), "HdlcSlotFactory: ");
    if (line < 0) return nullptr;
    return new HdlcSlot(line, hdlc.get_address().getValue(), hdlc.get_log().getValue() != 0);
}
