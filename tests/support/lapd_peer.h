#pragma once
// The far end of a server's D channel, played by a test on the line socket
// of the channel's MCC channel (the board tool's `mcc line`): LAPD frames as
// hex text ("00 01 7F") sent and received whole, one packet each, so that a
// test can answer, hold back, lose or refuse the server's frames as it
// pleases.

#include <chrono>
#include <string>

#include "runtime/system/fd.h"

namespace support {

class LapdPeer {
public:
    // Opens the line socket of the MCC channel on the board of the root and
    // connects to it; false when either fails.
    bool connect(std::string const& root, int channel);
    void send(std::string const& frame) const;
    // The next frame the server sent, as hex text; "" on time-out.
    std::string next(std::chrono::milliseconds bound = std::chrono::seconds(3)) const;
    // True when the server sends nothing within the time.
    bool quietFor(std::chrono::milliseconds time) const { return next(time).empty(); }

private:
    Fd socket_;
};

}  // namespace support
