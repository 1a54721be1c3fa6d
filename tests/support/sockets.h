#pragma once
// Descriptors that tests stand on the other side of the code under test:
// pipes, socket pairs, TCP connections and listeners on 127.0.0.1, Unix
// clients, and the few calls that read and write them without blocking.

#include <sys/socket.h>

#include <functional>
#include <string>

#include "runtime/system/fd.h"
#include "tests/support/bytes.h"

namespace support {

// A non-blocking pipe; both ends close-on-exec.
struct Pipe {
    Pipe();
    void put(char const* text) const;
    Fd reader;
    Fd writer;
};

// Two connected Unix stream sockets: `local` for the code under test, `peer`
// for the test.
struct SocketPair {
    SocketPair();
    Fd local;
    Fd peer;
};

// A TCP connection on 127.0.0.1: `local` is the accepted end, `peer` the
// connecting one.
struct TcpPair {
    TcpPair();
    Fd local;
    Fd peer;
};

// A non-blocking TCP listener on 127.0.0.1 standing for a peer; port 0 takes
// a free one.
class TcpListener {
public:
    explicit TcpListener(int port, int backlog = 8);
    bool listening() const { return listening_; }
    unsigned short port() const;
    // A pending connection, or an invalid Fd.
    Fd accept() const;

private:
    Fd fd_;
    bool listening_ = false;
};

// A UDP socket on 127.0.0.1 standing for a network peer: it takes the
// datagrams sent to its port. Port 0 takes a free one.
class UdpPeer {
public:
    explicit UdpPeer(int port = 0);
    bool bound() const { return bound_; }
    unsigned short port() const;
    // The next datagram, waiting at most `bound_ms`; empty when none came.
    Bytes receive(unsigned bound_ms = 3000) const;

private:
    Fd fd_;
    bool bound_ = false;
};

// An even UDP port of 127.0.0.1 that is free together with the one above
// it just now (a stream's RTP and RTCP ports).
int freeUdpPair();

// The ports of one stream on 127.0.0.1: the remote RTP port, whose RTCP
// port above it the peer holds, and the local RTP port.
struct StreamPorts {
    int remote = freeUdpPair();
    UdpPeer rtcp{remote + 1};
    int local = freeUdpPair();
};

// Runs the main loop until `peer` holds a connection taken from the listener
// (one it holds already counts) and the condition holds; false on the bound.
bool runUntilAccepted(TcpListener const& listener, Fd& peer, std::function<bool()> const& condition,
                      unsigned bound_ms);

// A TCP port of 127.0.0.1 that nothing listens on just now.
int freePort();

// A TCP port of 127.0.0.1 that refuses every connection for as long as the
// object lives: a socket bound to it that never listens holds it, so no
// other test can take it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    int port() const { return port_; }

private:
    Fd fd_;
    int port_ = 0;
};
// True when the kernel lists a socket listening on the port (state 0A in
// /proc/net/tcp): a server program that started on it has set everything
// up that comes before its acceptor.
bool listening(int port);
// A TCP client connecting to 127.0.0.1, with a receive buffer of the size
// given (0: the default). With `wait` it is a blocking socket whose connect
// is complete (an invalid Fd when it failed); without, it is non-blocking and
// its connect may still be in progress.
Fd connectTcp(int port, int receive_buffer = 0, bool wait = true);
// A Unix client of that socket type (stream, or sequenced packets)
// connected to the path without a name of its own, or an invalid Fd.
Fd connectUnix(std::string const& path, int type = SOCK_STREAM);
// The local port of a TCP socket.
unsigned short localPort(Fd const& fd);

// Everything waiting on the socket now.
Bytes drain(Fd const& fd);
// Sends the bytes in one call; false when the socket took fewer.
bool sendAll(Fd const& fd, Bytes const& bytes);
// True when the socket reads the end of the stream now.
bool atEnd(Fd const& fd);

}  // namespace support
