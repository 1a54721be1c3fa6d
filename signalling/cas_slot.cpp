#include "signalling/cas_slot.h"

#include <iostream>

#include "hardware/e1_ctl.h"
#include "runtime/log/ext.h"

namespace {

// Runs one CAS command on the slot's timeslot; whether the CAS path is open.
template <class Select>
bool RunCas(LineSlot const& slot, Select select) {
    E1Ctl& e1 = E1Ctl::instance();
    if (!e1.CheckOpenCas()) return false;
    LGCP::CasCommand command;
    command.set_channel().set_path(slot.trunk());
    command.set_channel().set_timeslot(slot.timeslot());
    select(command.set_cmd());
    e1.Cas(command);
    return true;
}

}  // namespace

CasSlot::~CasSlot() { Release(); }

bool CasSlot::IActivate(TERM::TermActivateParams const&) {
    RunCas(*this, [](LGCP::CasCommandSignal& cmd) { cmd.select_open(idle_bits); });
    active_ = E1Ctl::instance().cas_open(trunk());
    if (active_) {
        activated_.set(0, &CasSlot::OnActivatedLater, this);
    } else {
        std::cerr << ext::header(this) << "no CAS on trunk " << trunk() << std::endl;
        ReportDeactivated();
    }
    return true;
}

bool CasSlot::IDeactivate() {
    Release();
    ReportDeactivated();
    return true;
}

bool CasSlot::IUserData(std::vector<char> const& data) {
    if (!active_ || data.size() != 1) {
        std::cerr << ext::header(this) << "userData of " << data.size() << " octets refused: "
                  << (active_ ? "the ABCD bits come in one octet" : "CAS is not active")
                  << std::endl;
        return false;
    }
    int const bits = data[0] & 0x0F;
    RunCas(*this, [bits](LGCP::CasCommandSignal& cmd) { cmd.select_set(bits); });
    return true;
}

void CasSlot::Release() {
    activated_.reset();
    if (!active_) return;
    active_ = false;
    RunCas(*this, [](LGCP::CasCommandSignal& cmd) { cmd.select_close(); });
}

void CasSlot::OnLineDown() {
    if (!active_) return;
    // Down until the controller activates the slot again: the timeslot is
    // given back and its bits are no longer the controller's to set.
    Release();
    OnDeactivated();
}
