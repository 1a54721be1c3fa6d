#pragma once
// The controller harness: starts the built `mobrel` under a temporary
// MOBREL_ROOT on a free port and talks to it as a controller over TCP on
// 127.0.0.1, with the message helpers the tests share.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"
#include "runtime/system/fd.h"
#include "server/tpkt_frame.h"
#include "tests/support/bytes.h"
#include "tests/support/process.h"
#include "tests/support/sockets.h"
#include "tests/support/temp_root.h"

namespace support {

// The aligned-PER encoding of a message.
Bytes encode(LGCP::Message const& message);
// A TPKT frame around the payload.
inline Bytes frame(Bytes const& payload) {
    return Tpkt::Frame(payload);
}
// A ping command, with a sequence number when seq >= 0.
LGCP::Message ping(int seq = -1);

class ServerProcess {
public:
    ServerProcess();
    ~ServerProcess();
    ServerProcess(ServerProcess const&) = delete;
    ServerProcess& operator=(ServerProcess const&) = delete;

    // Starts the server with these arguments (no --port is added).
    void spawn(std::vector<std::string> const& args);
    // Starts with --port and waits for the start-up line; false when it
    // did not come.
    bool start();
    // Waits for the process to end; its exit status, or -1.
    int wait(std::chrono::milliseconds bound = std::chrono::seconds(10));
    void signal(int sig) const;

    std::string out() const { return readFile(root_.under("/out")); }
    std::string err() const { return readFile(root_.under("/err")); }
    // Waits until the error stream holds the text.
    bool errHas(std::string const& text,
                std::chrono::milliseconds bound = std::chrono::seconds(10)) const;
    bool outHas(std::string const& text,
                std::chrono::milliseconds bound = std::chrono::seconds(10)) const;

    std::string const& root() const { return root_.path(); }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

private:
    TempDir root_;
    int port_ = 0;
    // Read by a test's signalling thread while wait() clears it.
    std::atomic<pid_t> pid_{-1};
};

// Starts one more server on the root of another and that port, its standard
// streams on <root>/<name>.out and <root>/<name>.err; its pid.
pid_t startServerOn(std::string const& root, int port, std::string const& name);

// A controller connection.
class Controller {
public:
    // Retries until the port takes the connection or the bound passes.
    bool connect(int port, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Takes over a connected socket: the end of a link that the server opened.
    void adopt(int fd);
    // A receive buffer of this size from the next connect on (0: the default).
    void receiveBuffer(int size) { rcvbuf_ = size; }
    void send(Bytes const& bytes) const;
    void sendMessage(LGCP::Message const& message) const { send(frame(encode(message))); }
    // The next frame's payload; empty with ok false on time-out or close.
    Bytes readFrame(bool& ok, std::chrono::milliseconds bound = std::chrono::seconds(5));
    // The next decoded message, signal or not; false on time-out, close or
    // bytes that do not decode.
    bool readMessage(LGCP::Message& message,
                     std::chrono::milliseconds bound = std::chrono::seconds(5));
    // The next decoded message that is not a signal.
    bool readAnswer(LGCP::Message& message,
                    std::chrono::milliseconds bound = std::chrono::seconds(5));
    // Sends a ping with the sequence number; true when the answer is a
    // success that carries the number and no slot.
    bool pingAnswered(int seq);
    // True when the server closed the connection within the bound.
    bool closedByPeer(std::chrono::milliseconds bound);
    // True when nothing arrives within the time.
    bool quietFor(std::chrono::milliseconds time);
    int fd() const { return socket_.lowlevel_fd(); }
    void close();

private:
    bool fill(std::chrono::milliseconds bound);
    Fd socket_;
    int rcvbuf_ = 0;
    Tpkt::Frames frames_;
};

}  // namespace support
