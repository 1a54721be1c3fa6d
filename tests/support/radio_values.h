#pragma once
// Radio values of the control link as the radio tests build them: ED-137
// headers and signal-quality blocks, ED-137 rx and tx commands, and the
// Kvel radio commands, each filled from a few sample values that the tests'
// expected records spell out.

#include "messages/term/term.h"

namespace support {

TERM::ED137RadioHeader ed137Header(TERM::ED137RadioPTT::NamedNumber ptt, bool squ, unsigned ptt_id,
                                   bool mute = false, bool summation = false, bool sct = false);
TERM::ED137RadioExtensionSQI ed137Sqi(TERM::ED137RadioBSSMethod::NamedNumber method,
                                      unsigned quality);
// An ED-137 command to the session "10.0.0.1" SSRC 0xCAFE0001.
TERM::RadioModifier ed137Tx(TERM::ED137RadioHeader const& header);
TERM::RadioModifier ed137Rx(TERM::ED137RadioHeader const& header,
                            TERM::ED137RadioExtensionSQI const* sqi);

// The Kvel command of alternative `index` (0 gw-set-flags to 19 wm-standby)
// to the same session, and a status, both of the sample values in the .cpp.
TERM::KvelRadioModifier kvelCommand(int index);
TERM::KvelRadioStatus kvelStatus();
TERM::RadioModifier kvelModifier(int index);

}  // namespace support
