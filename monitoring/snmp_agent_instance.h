#pragma once
// The link to one SNMP agent process: a TCP connector to the agent's address
// that opens the link again by itself, carrying TPKT frames of MON messages.
// The server sends commands only while the link is up; a MON ping follows
// ping_ms after every message sent (and after the link comes up, so that an
// agent is asked to speak even when there is nothing to tell it), and the
// link is dropped when the agent has sent nothing for silence_ms, or when a
// message waits more than write_budget_ms for the agent to take it (an agent
// that stops reading must not hold the main loop). Responses
// and signals from the agent are read and ignored; a command from it, or a
// frame that does not decode, is dropped with a line (the frame's first
// dump_bytes in hexadecimal), at most one line of each kind a period
// (fault_lines.h) however fast the agent sends them.
//
// The monitoring controller owns one instance per configured agent and hears
// through ISnmpAgentNotify when a link comes up.

#include <ostream>
#include <string>
#include <vector>

#include "messages/mon/mon.h"
#include "monitoring/fault_lines.h"
#include "runtime/loop/timer.h"
#include "server/connector_net.h"

class ISnmpAgentNotify {
public:
    virtual ~ISnmpAgentNotify() = default;
    // The link to the agent of that name came up.
    virtual void OnSnmpAgentConnect(std::string const& name) = 0;
};

class SnmpAgentInstance : public Control::Notify {
public:
    static constexpr unsigned ping_ms = 5000;
    static constexpr unsigned silence_ms = 30000;
    static constexpr unsigned write_budget_ms = 100;
    // Bytes of a frame that does not decode shown in its line at most.
    static constexpr unsigned dump_bytes = 64;

    // Starts connecting to host (a dotted address) and port at once; the
    // notify target may hear of the link before the constructor returns.
    SnmpAgentInstance(std::string const& name, std::string const& host, unsigned short port,
                      ISnmpAgentNotify* notify, unsigned ping_delay = ping_ms,
                      unsigned silence_limit = silence_ms);
    ~SnmpAgentInstance() override;
    SnmpAgentInstance(SnmpAgentInstance const&) = delete;
    SnmpAgentInstance& operator=(SnmpAgentInstance const&) = delete;

    // Sends one message; false when the link is not up or the message does
    // not encode.
    bool Send(MON::Message const& message);
    // Sends one encoded message; false when the link is not up.
    bool Send(std::vector<char> const& octets);
    bool IsConnected() const { return link_.IsConnected(); }

    std::string const& name() const { return name_; }
    // "snmpagent.<name> <address>:<port>", also the link's service name.
    std::string const& prefix() const { return prefix_; }
    void PutHeader(std::ostream& os) const { os << prefix_; }

    void OnConnect() override;
    void OnDisconnect() override;
    void OnMessage(char const* data, int length) override;

private:
    void OnPingTimer();
    void OnSilence();

    std::string const name_;
    std::string const prefix_;
    unsigned const ping_delay_;
    unsigned const silence_limit_;
    ISnmpAgentNotify* const notify_;
    FaultLines decode_errors_;
    FaultLines agent_commands_;
    Timer ping_timer_;
    Timer silence_timer_;
    Control::ConnectorNet link_;
};
