#pragma once
// The CAS form of the PSTN slots ("pstn" with `cas`): a trunk timeslot whose
// line signalling is channel-associated, driven through the E1 service's
// CAS path. Activation opens CAS on the trunk when it is not open yet and
// takes the timeslot into CAS sending ABCD 1001 (A 1, B 0, and C 0 D 1 as
// unused bits are sent), and reports `activated` when the trunk's CAS is
// open; a `userData` of one octet sets the ABCD bits sent to its low four
// bits; deactivation, destruction and the trunk leaving the normal state
// (which reports `deactivated`) give the timeslot back. The E1 service
// reports each step and every change of the received bits as `cas` signals,
// as for its own CAS commands. The slot's connections switch the timeslot
// itself, which carries the voice.
//
// Timeslot 16 carries the trunk's CAS multiframe and takes no slot.

#include <vector>

#include "signalling/line_slot.h"

class CasSlot : public LineSlot {
public:
    static constexpr int idle_bits = 0x9;
    static constexpr int signalling_timeslot = 16;

    explicit CasSlot(int line) : LineSlot(line) {}
    ~CasSlot() override;

    bool IActivate(TERM::TermActivateParams const& params) override;
    bool IDeactivate() override;
    bool IUserData(std::vector<char> const& data) override;
    char const* GetName() const override { return "pstn"; }

private:
    int OwnChannel() const override { return line(); }
    void OnLineDown() override;
    void OnActivatedLater() { OnActivated(); }
    void Release();

    bool active_ = false;
    Timer activated_;
};
