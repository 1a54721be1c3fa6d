#include "signalling/pstn_factory.h"

#include <iostream>

#include "signalling/cas_slot.h"
#include "signalling/isdn/pstn_isdn_slot.h"
#include "signalling/pstn_slot.h"

namespace {

char const header[] = "PSTN: ";

}  // namespace

PstnFactory& PstnFactory::instance() {
    static PstnFactory factory;
    return factory;
}

void PstnFactory::SelfSignal(LGCP::Signal const& signal) { FollowTrunk(*this, signal); }

Slot* PstnFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.pstn_isSelected()) return nullptr;
    LGCP::PstnParams const& pstn = params.get_pstn();
    if (pstn.ss7_isSelected()) {
        LGCP::SS7Params const& ss7 = pstn.get_ss7();
        int const line = LineSlot::LineOf(ss7.get_trunk().getValue(), header);
        return line < 0 ? nullptr : new PstnSlot(line, ss7);
    }
    if (pstn.cas_isSelected()) {
        int const line = LineSlot::LineOf(pstn.get_cas().get_trunk().getValue(), header);
        if (line < 0) return nullptr;
        if (line % LineSlot::timeslots == CasSlot::signalling_timeslot) {
            std::cerr << header << "timeslot 16 carries the CAS multiframe"
                      << std::endl;
            return nullptr;
        }
        return new CasSlot(line);
    }
    return PstnIsdnSlot::New(pstn.get_isdn(), header);
}
