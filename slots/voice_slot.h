#pragma once
// Voice slots: announcement players and recorders, each on one transparent
// channel of the board's MCC whose switch channel the slot offers to the
// TDM switch. A file player copies phrase files from the voice folder into
// its channel, a network player the stream of a TCP peer, and a recorder
// sends what its channel receives to a TCP peer (play_slot.h,
// record_slot.h). VoiceFactory (voice_factory.h) makes them from the `voice`
// create parameters.

#include <string>

#include "messages/term/term.h"
#include "slots/slot.h"

class VoiceSlot : public Slot {};

// "10.0.0.1:5000": the peer address of a host, as a connect takes it.
std::string dhost2str(TERM::HostAddress const& host);
