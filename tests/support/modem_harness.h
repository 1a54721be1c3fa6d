#pragma once
// Helpers for the modem tests: the stand-in programs that the server starts
// for modem slots (installed under the server's root, told what to do, and
// their runs read back and cleaned up), a PPP helper connection on the
// helper port, and a server start that makes sure the server holds the
// helper port (every server binds it; the tests that use it hold a CTest
// resource lock, others may not).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/harness.h"

namespace support {

// The programs the stand-in is installed as.
inline constexpr char pppd_program[] = "/usr/local/sbin/pppd";
inline constexpr char fax_transfer_program[] = "/usr/local/sbin/fax";
inline constexpr char fax_receiver_program[] = "/usr/local/bin/fax";

// A script: trunk slot 1 (channel 1) and DSP modem slot 2 (modem 0 on
// channel 512), the trunk connected to the modem, which answers.
extern char const modem_on_trunk[];

// A helper's authentication request for the session.
Bytes authFrame(uint32_t session, std::string const& user, std::string const& password);

struct StandinRun {
    pid_t pid;
    std::vector<std::string> args;  // argv[0] first
};

// Installs the stand-in at every program path under the root; it kills
// every stand-in that ran when it goes.
class Standins {
public:
    explicit Standins(std::string const& root);
    ~Standins();
    Standins(Standins const&) = delete;
    Standins& operator=(Standins const&) = delete;

    // The actions of the program's next runs, one a line (see the stand-in).
    void tell(char const* program, std::string const& actions) const;
    // The runs so far, in the order they started.
    std::vector<StandinRun> runs() const;
    // Waits until at least `count` runs have started.
    bool waitRuns(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(5)) const;
    // What a run noted ("actions done\n", "hup\n", "received ...\n").
    std::string log(pid_t pid) const;
    bool logHas(pid_t pid, std::string const& text,
                std::chrono::milliseconds bound = std::chrono::seconds(5)) const;
    // "<root><path>": a fixed path as the server resolves it.
    std::string path(std::string const& fixed) const { return root_ + fixed; }

private:
    std::string root_;
};

// Starts the server (as ServerProcess::start) holding the helper port: in a
// network of the test's own where the host allows it, else once nobody else
// holds the port (a test failure naming the holder after the bound).
bool startHoldingHelperPort(ServerProcess& server,
                            std::chrono::milliseconds bound = std::chrono::seconds(30));

// A server with the stand-ins installed and a controller connected, its
// greeting read; with `helper_port`, a server that holds the helper port.
struct ModemServer {
    explicit ModemServer(std::string const& board = "", bool helper_port = false);
    void run(std::string const& script);
    // The board tool's reply, with the serials of the opens as "#N".
    std::string board(std::string const& command) const;
    // The arguments of the stand-in's run (0 the first), argv[0] included.
    std::vector<std::string> args(size_t run) const;

    ServerProcess server;
    Standins standins;
    Controller controller;
};

// A PPP helper's connection to the server's helper port. It closes with a
// reset, so no end of it waits in TIME_WAIT on the port.
class HelperConnection {
public:
    HelperConnection() = default;
    ~HelperConnection();
    HelperConnection(HelperConnection const&) = delete;
    HelperConnection& operator=(HelperConnection const&) = delete;

    bool connect(std::chrono::milliseconds bound = std::chrono::seconds(5));
    void send(std::vector<unsigned char> const& bytes) const;
    // Exactly `count` bytes; fewer when the bound passes or the peer closes.
    std::vector<unsigned char> read(size_t count,
                                    std::chrono::milliseconds bound = std::chrono::seconds(3));
    // True when the server closed the connection within the bound.
    bool closedByPeer(std::chrono::milliseconds bound);
    void close();

private:
    int fd_ = -1;
};

}  // namespace support
