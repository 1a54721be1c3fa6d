#pragma once
// An SNMP agent process as the server sees it: a listening socket on
// 127.0.0.1 for the server's agent link to connect to, and the link it
// accepts, carrying TPKT frames of MON messages; with the controller's side
// of the tests that drive it.

#include <chrono>
#include <map>
#include <string>

#include "messages/mon/mon.h"
#include "runtime/system/fd.h"
#include "tests/support/harness.h"

namespace support {

// Writes the server's configuration file, before the server starts.
void writeConfig(ServerProcess const& server, std::string const& text);
// Sends `display` with the item written in value notation; true when it is
// answered success.
bool display(Controller& controller, std::string const& item);

class TestAgent {
public:
    // Picks a free port; listens only once listen() is called.
    TestAgent() : port_(freePort()) {}
    // A receive buffer of that many bytes when given (an agent slow to read).
    bool listen(int receiveBuffer = 0);
    // The subsection of "snmpagent" that names this agent.
    std::string config(std::string const& name) const;
    // Waits for the server's connection and takes it as the link.
    bool accept(std::chrono::milliseconds bound = std::chrono::seconds(5));
    // The next message on the link that is not an `snmp-set` of the
    // server's own values (those go to `told`); false on time-out, close or
    // a bad frame.
    bool read(MON::Message& message, std::chrono::milliseconds bound = std::chrono::seconds(5));
    // Reads until the server's own value under "section/name/index" is
    // `value`; false when the bound passes first.
    bool waitTold(std::string const& key, std::string const& value,
                  std::chrono::milliseconds bound = std::chrono::seconds(5));
    // The next message in value notation; empty when none came.
    std::string readText(std::chrono::milliseconds bound = std::chrono::seconds(5));
    void send(MON::Message const& message);

    // A message written on one line, in value notation as readText gives it.
    static std::string notation(std::string const& text);

    int port() const { return port_; }
    Controller link;
    // Every named value the server told of its own, by "section/name/index",
    // the latest kept.
    std::map<std::string, std::string> told;
    // Frames that did not decode, since the link was accepted.
    int badFrames = 0;

private:
    // Takes the named values of an `snmp-set` of the server's own values
    // into `told`; false for any other message.
    bool takeOwn(MON::Message const& message);
    // The next message, own values or not.
    bool readAny(MON::Message& message, std::chrono::milliseconds bound);
    int port_;
    Fd listener_;
};

// A server whose configuration names one test agent (and holds more), the
// agent, and a controller for the server.
class AgentServer {
public:
    explicit AgentServer(std::string const& agentName = "mib", std::string const& more = "");
    // The agent listens, the server starts and its link is taken.
    bool start() { return agent.listen() && server.start() && agent.accept(); }
    bool control() { return controller.connect(server.port()); }

    ServerProcess server;
    TestAgent agent;
    Controller controller;
};

}  // namespace support
