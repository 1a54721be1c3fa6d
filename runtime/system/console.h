#pragma once
// Terminal helpers for a process run by hand on the console, and a short
// local time stamp for traces.

#include <ostream>

namespace Console {

// Standard input without line editing and without echo; signal keys keep
// working.
void SwitchToBinaryMode();
// Standard input non-blocking.
void SwitchToNonBlockMode();

}  // namespace Console

// Writes the local time as "day/month hours:minutes:seconds"; nothing when
// the time cannot be read.
std::ostream& timestamp(std::ostream& os);
