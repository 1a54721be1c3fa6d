#pragma once
// The factory of the voice slots: a recorder for the `voice` create
// parameters' `record`, a file or network player for `player`, each on a
// transparent channel of the MCC that it allocates.

#include <string>

#include "hardware/mcc_channel.h"
#include "slots/slot_factory.h"

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
