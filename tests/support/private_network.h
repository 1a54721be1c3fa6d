#pragma once
// A fixed TCP port of 127.0.0.1 for a test (the PPP helper port that every
// server binds), whatever else runs on the host: the test moves into a
// network namespace of its own where the host allows it, or else waits for
// the port and names who holds it. Also used by the fuzz target, so it
// stands on the system alone.

#include <chrono>
#include <string>

namespace support {

// Puts the calling process, and the processes it starts from then on, in a
// network namespace of its own with the loopback interface up (as root, or
// in a user namespace of its own where the host allows those); false when
// the host allows neither.
bool privateNetwork();

// Who listens on the TCP port of 127.0.0.1 (or of every address): "pid 812
// (mobrel)", "a process this user cannot see (socket 91234)"; empty when
// nobody does.
std::string portHolder(int port);

// Makes the TCP port of 127.0.0.1 free for the caller's servers: in a
// private network when possible, else by waiting up to the bound for it to
// be free. Empty on success, else why not ("127.0.0.1:52000 still held after
// 30000 ms by pid 812 (mobrel)").
std::string claimLoopbackPort(int port, std::chrono::milliseconds bound);

}  // namespace support
