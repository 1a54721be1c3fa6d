#pragma once
// A TCP peer of the server on 127.0.0.1: it listens on a free port, takes
// the server's connection and reads, writes and closes it as a test asks.
// Every wait is bounded.

#include <chrono>
#include <string>

#include "tests/support/harness.h"

namespace support {

class TcpPeer {
public:
    // Listens with this backlog.
    explicit TcpPeer(int backlog = 4);
    ~TcpPeer();
    TcpPeer(TcpPeer const&) = delete;
    TcpPeer& operator=(TcpPeer const&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:PORT"
    std::string address() const;

    // Takes the next connection; false when none comes within the bound.
    bool accept(std::chrono::milliseconds bound = std::chrono::seconds(5));
    // Reads exactly n bytes of the connection; fewer when the bound passes
    // or the connection ends first.
    Bytes read(size_t n, std::chrono::milliseconds bound = std::chrono::seconds(5));
    void write(Bytes const& bytes) const;
    // True when the server closes the connection within the bound.
    bool closedByServer(std::chrono::milliseconds bound = std::chrono::seconds(5));
    // Closes the connection.
    void close();

private:
    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
};

}  // namespace support
