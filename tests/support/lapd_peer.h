#pragma once
// The far end of a server's D channel, played by a test on the line socket
// of the channel's MCC channel: LAPD frames as hex text ("00 01 7F") sent
// and received whole, one packet each, so that a test can answer, hold back,
// lose or refuse the server's frames as it pleases.

#include <chrono>
#include <string>

#include "runtime/system/fd.h"

namespace support {

class LapdPeer {
public:
    // Connects to the line socket at this path.
    explicit LapdPeer(std::string const& path);

    bool connected() const { return socket_.is_valid(); }
    void send(std::string const& frame) const;
    // The next frame the server sent, as hex text; "" on time-out.
    std::string next(std::chrono::milliseconds bound = std::chrono::seconds(3)) const;
    // True when the server sends nothing within the time.
    bool quietFor(std::chrono::milliseconds time) const { return next(time).empty(); }

private:
    Fd socket_;
};

}  // namespace support
