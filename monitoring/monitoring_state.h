#pragma once
// What the monitoring keeps for the SNMP agents - the trap destinations, the
// values set through `snmp-set` and the server's own monitoring values - and
// the MON commands that tell them. An agent whose link comes up is given all
// of it, as the snapshot. What is kept is bounded in ids and in bytes, so
// that the snapshot stays a size a link takes in one go.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"
#include "messages/mon/mon.h"

class MonitoringState {
public:
    // The controller's values kept at most, and their encoded bytes at
    // most; a value beyond them is only passed on. The server's own values
    // have bounds of their own, so that the controller cannot crowd them out.
    static constexpr size_t max_values = 4096;
    static constexpr size_t max_bytes = 1 << 20;
    static constexpr size_t max_own_values = 16384;
    static constexpr size_t max_own_bytes = 1 << 20;
    // Characters of one of the server's own values told at most (after the
    // escapes of OneLine); a longer value is cut to it with cut_mark, so
    // that every value encodes and fits a frame with room to spare.
    static constexpr size_t max_value_length = 4096;

    // Replaces the trap destinations.
    void SetTrapReceivers(std::vector<std::string> const& hosts);
    // Keeps each value in place of the one kept under the same id (an OID or
    // a name); how many found no room (and were not kept). `own`: values
    // the server read itself rather than the controller's.
    size_t Set(MON::SnmpSetCommands const& commands, bool own = false);
    // Whether the value is kept under its id already.
    bool Holds(MON::SnmpSetCommand const& command) const;
    // The trap destinations, once the controller gave them, then the
    // controller's kept values and then the server's own, each in as many
    // `snmp-set` commands as frames of the link need.
    std::vector<MON::Message> Snapshot() const;
    // The controller's kept values, one "id value" each: the OID, or
    // "section/name/index" for a name.
    std::vector<std::string> ControllerValues() const;
    std::vector<std::string> const& trap_receivers() const { return trap_receivers_; }

    // How many of the controller's values (or the server's own) are kept,
    // and their encoded bytes.
    size_t values(bool own = false) const { return count_[own]; }
    size_t bytes(bool own = false) const { return bytes_[own]; }

private:
    bool trap_receivers_known_ = false;
    std::vector<std::string> trap_receivers_;
    // By the encoding of their id, so that every kind of id compares alike.
    struct Kept {
        MON::SnmpSetCommand command;
        size_t bytes;
        bool own;
    };
    std::map<std::string, Kept> values_;
    size_t count_[2] = {};
    size_t bytes_[2] = {};
};

// Gathers `snmp-set` commands, in the order given, into as few messages as
// the link's frames take: each message's commands encode to at most a
// frame's payload, and a command that does not encode stands alone in its
// message (which then does not encode either, and takes no other down with
// it).
class SnmpSetBatches {
public:
    // A command and the octets of its encoding (0 when it has none).
    void Add(MON::SnmpSetCommand const& command, size_t bytes);
    // The messages of every command added; none when none was.
    std::vector<MON::Message> Take();

private:
    void Close();
    std::vector<MON::Message> messages_;
    MON::SnmpSetCommands batch_;
    size_t used_ = 0;
};

// The commands in as many `snmp-set` messages as frames need.
std::vector<MON::Message> SnmpSetMessages(MON::SnmpSetCommands const& commands);
// `snmp-trapsink-set` with one destination per host, without a port.
MON::Message TrapsinkSetMessage(std::vector<std::string> const& hosts);
// `snmp-set` with these commands.
MON::Message SnmpSetMessage(MON::SnmpSetCommands const& commands);
