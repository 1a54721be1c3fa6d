#include "monitoring/monitoring_state.h"

#include "monitoring/mon_codec.h"
#include "server/tpkt.h"

namespace {

// Room in one frame for the commands of one `snmp-set`, less the few octets
// of the message around them.
size_t const frame_budget = Tpkt_protocol::max_payload - 16;
// Longest list with a length of the plain (unfragmented) form.
unsigned const max_batch = 16383;

}  // namespace

void MonitoringState::SetTrapReceivers(std::vector<std::string> const& hosts) {
    trap_receivers_known_ = true;
    trap_receivers_ = hosts;
}

bool MonitoringState::Set(MON::SnmpSetCommands const& commands) {
    bool all_kept = true;
    std::vector<char> id;
    for (MON::SnmpSetCommand const& command : commands.get_commands()) {
        if (!MonCodec::Encode(command.get_id(), id)) continue;
        std::string const key(id.begin(), id.end());
        auto const found = values_.find(key);
        if (found != values_.end())
            found->second = command;
        else if (values_.size() < max_values)
            values_.emplace(key, command);
        else
            all_kept = false;
    }
    return all_kept;
}

std::vector<MON::Message> MonitoringState::Snapshot() const {
    std::vector<MON::Message> messages;
    if (trap_receivers_known_) messages.push_back(TrapsinkSetMessage(trap_receivers_));
    MON::SnmpSetCommands batch;
    size_t used = 0;
    std::vector<char> octets;
    for (auto const& entry : values_) {
        MON::SnmpSetCommand const& command = entry.second;
        MonCodec::Encode(command, octets);
        unsigned const count = batch.get_commands().size();
        if (count > 0 && (used + octets.size() > frame_budget || count == max_batch)) {
            messages.push_back(SnmpSetMessage(batch));
            batch = MON::SnmpSetCommands();
            used = 0;
        }
        batch.set_commands().push_back(command);
        used += octets.size();
    }
    if (batch.get_commands().size() > 0) messages.push_back(SnmpSetMessage(batch));
    return messages;
}

MON::Message TrapsinkSetMessage(std::vector<std::string> const& hosts) {
    MON::Message message;
    auto& sinks = message.set_pdu().select_command().select_snmp_trapsink_set().set_trapsinks();
    for (std::string const& host : hosts) {
        MON::SnmpTrapsink sink;
        sink.set_host(host);
        sinks.push_back(sink);
    }
    return message;
}

MON::Message SnmpSetMessage(MON::SnmpSetCommands const& commands) {
    MON::Message message;
    message.set_pdu().select_command().select_snmp_set(commands);
    return message;
}
