#pragma once
// What the monitoring keeps of the controller's `display` items that the SNMP
// agents are told - the trap destinations and the values set through
// `snmp-set` - and the MON commands that tell them. An agent whose link comes
// up is given all of it, as the snapshot.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"
#include "messages/mon/mon.h"

class MonitoringState {
public:
    // Values kept at most; a value under a new id beyond them is only passed on.
    static constexpr size_t max_values = 4096;

    // Replaces the trap destinations.
    void SetTrapReceivers(std::vector<std::string> const& hosts);
    // Keeps each value in place of the one kept under the same id (an OID or
    // a name). False when a value under a new id found no room.
    bool Set(MON::SnmpSetCommands const& commands);
    // The trap destinations, once the controller gave them, then the kept
    // values in as many `snmp-set` commands as frames of the link need.
    std::vector<MON::Message> Snapshot() const;

    size_t values() const { return values_.size(); }

private:
    bool trap_receivers_known_ = false;
    std::vector<std::string> trap_receivers_;
    // By the encoding of their id, so that every kind of id compares alike.
    std::map<std::string, MON::SnmpSetCommand> values_;
};

// `snmp-trapsink-set` with one destination per host, without a port.
MON::Message TrapsinkSetMessage(std::vector<std::string> const& hosts);
// `snmp-set` with these commands.
MON::Message SnmpSetMessage(MON::SnmpSetCommands const& commands);
