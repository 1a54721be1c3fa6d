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

size_t MonitoringState::Set(MON::SnmpSetCommands const& commands, bool own) {
    size_t refused = 0;
    std::vector<char> id;
    std::vector<char> octets;
    for (MON::SnmpSetCommand const& command : commands.get_commands()) {
        if (!MonCodec::Encode(command.get_id(), id) || !MonCodec::Encode(command, octets)) {
            ++refused;
            continue;
        }
        std::string const key(id.begin(), id.end());
        auto const found = values_.find(key);
        // What the value would replace of its own kind's share.
        bool const same = found != values_.end() && found->second.own == own;
        size_t const count = count_[own] + (same ? 0 : 1);
        size_t const bytes = bytes_[own] - (same ? found->second.bytes : 0) + octets.size();
        if (count > (own ? max_own_values : max_values) ||
            bytes > (own ? max_own_bytes : max_bytes)) {
            ++refused;
            continue;
        }
        if (found != values_.end()) {
            --count_[found->second.own];
            bytes_[found->second.own] -= found->second.bytes;
            values_.erase(found);
        }
        ++count_[own];
        bytes_[own] += octets.size();
        values_.emplace(key, Kept{command, octets.size(), own});
    }
    return refused;
}

bool MonitoringState::Holds(MON::SnmpSetCommand const& command) const {
    std::vector<char> id;
    if (!MonCodec::Encode(command.get_id(), id)) return false;
    auto const found = values_.find(std::string(id.begin(), id.end()));
    return found != values_.end() &&
           found->second.command.get_value() == command.get_value();
}

std::vector<MON::Message> MonitoringState::Snapshot() const {
    std::vector<MON::Message> messages;
    if (trap_receivers_known_) messages.push_back(TrapsinkSetMessage(trap_receivers_));
    for (bool const own : {false, true}) {
        SnmpSetBatches batches;
        for (auto const& entry : values_)
            if (entry.second.own == own) batches.Add(entry.second.command, entry.second.bytes);
        for (MON::Message& message : batches.Take()) messages.push_back(std::move(message));
    }
    return messages;
}

std::vector<std::string> MonitoringState::ControllerValues() const {
    std::vector<std::string> lines;
    for (auto const& entry : values_) {
        if (entry.second.own) continue;
        MON::SnmpSetCommand const& command = entry.second.command;
        MON::SnmpSetCommandId const& id = command.get_id();
        std::string text;
        if (id.oid_isSelected()) {
            text = id.get_oid();
        } else {
            MON::IniName const& name = id.get_name();
            text = std::string(name.get_section()) + "/" + std::string(name.get_name()) + "/" +
                   std::to_string(name.get_index().getValue());
        }
        lines.push_back(text + " " + std::string(command.get_value()));
    }
    return lines;
}

void SnmpSetBatches::Add(MON::SnmpSetCommand const& command, size_t bytes) {
    unsigned const count = batch_.get_commands().size();
    bool const alone = bytes == 0;
    if (count > 0 && (alone || used_ + bytes > frame_budget || count == max_batch)) Close();
    batch_.set_commands().push_back(command);
    used_ += bytes;
    if (alone) Close();
}

void SnmpSetBatches::Close() {
    if (batch_.get_commands().size() > 0) messages_.push_back(SnmpSetMessage(batch_));
    batch_ = MON::SnmpSetCommands();
    used_ = 0;
}

std::vector<MON::Message> SnmpSetBatches::Take() {
    Close();
    std::vector<MON::Message> messages;
    messages.swap(messages_);
    return messages;
}

std::vector<MON::Message> SnmpSetMessages(MON::SnmpSetCommands const& commands) {
    SnmpSetBatches batches;
    std::vector<char> octets;
    for (MON::SnmpSetCommand const& command : commands.get_commands())
        batches.Add(command, MonCodec::Encode(command, octets) ? octets.size() : 0);
    return batches.Take();
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
