#pragma once
// Voice slots: announcement players and recorders, each on one transparent
// channel of the board's MCC whose switch channel the slot offers to the
// TDM switch. A file player copies phrase files from the voice folder into
// its channel, a network player the stream of a TCP peer, and a recorder
// sends what its channel receives to a TCP peer (play_slot.h,
// record_slot.h). VoiceFactory makes them from the `voice` create
// parameters.

#include <string>

#include "hardware/mcc_channel.h"
#include "messages/term/term.h"
#include "slots/slot.h"
#include "slots/slot_factory.h"

class VoiceSlot : public Slot {};

// "10.0.0.1:5000": the peer address of a host, as a connect takes it.
std::string dhost2str(TERM::HostAddress const& host);

class VoiceFactory : public SlotFactory {
public:
    static VoiceFactory& instance();

    char const* GetName() const override { return "Voice/mcc"; }
    // A recorder for `record`, a file or network player for `player`; null,
    // with a line, when the channel cannot be had.
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    void Query(LGCP::Resources&) override {}

    // "voice/mcc[0]: "
    void PutHeader(std::ostream& os) const;

private:
    VoiceFactory() = default;
    Slot* CreatePlay(LGCP::PlayerParams const& params);
    Slot* CreateRecord(std::string const& address);
    // A transparent channel of the MCC, for writing to (player) or for
    // reading from (recorder); a failure is told on the error stream.
    Mcc::Channel Allocate(bool player);
};
