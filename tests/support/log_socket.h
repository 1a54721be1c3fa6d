#pragma once
// A stand-in for the log daemon: a Unix socket bound at "/dev/log" below a
// test root, from which the tests read what the syslog client sends.

#include <sys/socket.h>

#include <string>
#include <vector>

#include "runtime/system/fd.h"

namespace support {

class LogSocket {
public:
    // Creates the root's "dev" directory when it is missing.
    explicit LogSocket(std::string const& root, int type = SOCK_DGRAM);

    // Binds (again) at the path, as a starting log daemon does.
    void bind(int type = SOCK_DGRAM);
    // Closes the socket and removes its name, as a stopping log daemon does.
    void shut();

    bool ok() const { return ok_; }
    int fd() const { return sock_.lowlevel_fd(); }

    // The next datagram, or "<none>" when none arrives within the bound.
    std::string receive(int timeout_ms = 3000);

private:
    std::string path_;
    Fd sock_;
    bool ok_ = false;
};

// The records of a datagram, each without its final zero byte.
std::vector<std::string> records(std::string const& datagram);
// The message text of a record: what follows the first ": ".
std::string message(std::string const& record);

}  // namespace support
