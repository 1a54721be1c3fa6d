#include "signalling/line_slot.h"

#include <algorithm>
#include <climits>
#include <iostream>
#include <vector>

#include "hardware/hw_mux.h"
#include "runtime/log/ext.h"

int LineSlot::LineOf(long trunk, char const* header) {
    if (trunk >= 0 && trunk < trunks * timeslots && trunk % timeslots != 0) return int(trunk);
    std::cerr << header << "trunk " << trunk
              << " names no trunk timeslot (32 x trunk 0 to 3 + timeslot 1 to 31)" << std::endl;
    return -1;
}

void LineSlot::PutHeader(std::ostream& os) const { os << *this << ": "; }

bool LineSlot::IHwConnectTransmitter(Slot& destination) {
    return HasChannel(destination) &&
           HwMux::instance().Connect(OwnChannel(), destination.GetReceiveChannel());
}

bool LineSlot::IHwConnectReceiver(Slot& source) {
    return HasChannel(source) &&
           HwMux::instance().Connect(source.GetTransmitChannel(), OwnChannel());
}

bool LineSlot::HasChannel(Slot const& other) const {
    if (OwnChannel() >= 0) return true;
    std::cerr << ext::header(this) << "not connected with " << other
              << ": the slot has no channel until it is activated" << std::endl;
    return false;
}

bool LineSlot::IHwDisconnectTransmitter(Slot& destination) {
    return Slot::IHwDisconnectTransmitter(destination);
}

bool LineSlot::IHwDisconnectReceiver(Slot& source) {
    int const channel = OwnChannel();
    if (channel < 0) return Slot::IHwDisconnectReceiver(source);
    if (OwnSource() >= 0) return HwMux::instance().Connect(OwnSource(), channel);
    return HwMux::instance().Disconnect(channel);
}

void LineSlot::OnTrunkStatus(unsigned trunk, ACP::TrunkState::NamedNumber const& state) {
    if (int(trunk) != this->trunk()) return;
    bool const normal = state == ACP::TrunkState::normal;
    if (normal == trunk_normal_) return;
    trunk_normal_ = normal;
    if (normal) return;
    std::clog << ext::header(this) << (kind_ == ACP::TrunkType::bri ? "BRI port " : "trunk ")
              << trunk << " has left the normal state" << std::endl;
    OnLineDown();
}

int LineSlot::Count(uint64_t count) { return int(std::min<uint64_t>(count, INT_MAX)); }

void LineSlot::ReportDeactivated() {
    deactivated_.set(0, &LineSlot::OnDeactivatedLater, this);
}

void FollowTrunk(SlotFactory const& factory, LGCP::Signal const& signal) {
    if (!signal.trunkStatus_isSelected()) return;
    ACP::TrunkStatus const& status = signal.get_trunkStatus();
    unsigned const trunk = unsigned(status.get_trunk().getValue());
    auto const state = ACP::TrunkState::NamedNumber(status.get_state().asInt());
    auto const kind = ACP::TrunkType::NamedNumber(status.get_type().asInt());
    // A slot may go during the call.
    std::vector<Slot*> const slots = factory.slots();
    for (Slot* slot : slots) {
        auto const* const line = dynamic_cast<LineSlot const*>(slot);
        if (!line || line->trunk_kind() == kind) slot->OnTrunkStatus(trunk, state);
    }
}
