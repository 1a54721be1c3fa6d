#include "monitoring/snmp_agent_instance.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "monitoring/mon_codec.h"
#include "runtime/log/ext.h"

SnmpAgentInstance::SnmpAgentInstance(std::string const& name, std::string const& host,
                                     unsigned short port, ISnmpAgentNotify* notify,
                                     unsigned ping_delay, unsigned silence_limit)
    : name_(name),
      prefix_("snmpagent." + name + " " + host + ":" + std::to_string(port)),
      ping_delay_(ping_delay),
      silence_limit_(silence_limit),
      notify_(notify),
      decode_errors_(prefix_ + ": receive : decode error!"),
      agent_commands_(prefix_ + ": receive : command from the agent dropped"),
      link_(host, port) {
    link_.service_name(prefix_);
    link_.write_budget(write_budget_ms);
    link_.Bind(this);
    link_.Activate();
}

SnmpAgentInstance::~SnmpAgentInstance() {
    link_.UnBind();
    link_.Deactivate();
}

bool SnmpAgentInstance::Send(MON::Message const& message) {
    if (!link_.IsConnected()) return false;
    std::vector<char> octets;
    if (!MonCodec::Encode(message, octets)) {
        std::cerr << ext::header(this) << ": send : encode error!" << std::endl;
        return false;
    }
    return Send(octets);
}

bool SnmpAgentInstance::Send(std::vector<char> const& octets) {
    if (!link_.IsConnected()) return false;
    link_.Send(octets.data(), int(octets.size()));
    ping_timer_.set(ping_delay_, &SnmpAgentInstance::OnPingTimer, this);
    return true;
}

void SnmpAgentInstance::OnConnect() {
    silence_timer_.set(silence_limit_, &SnmpAgentInstance::OnSilence, this);
    ping_timer_.set(ping_delay_, &SnmpAgentInstance::OnPingTimer, this);
    if (notify_) notify_->OnSnmpAgentConnect(name_);
}

void SnmpAgentInstance::OnDisconnect() {
    ping_timer_.reset();
    silence_timer_.reset();
}

void SnmpAgentInstance::OnMessage(char const* data, int length) {
    silence_timer_.set(silence_limit_, &SnmpAgentInstance::OnSilence, this);
    MON::Message message;
    if (!MonCodec::Decode(data, length, message)) {
        if (!decode_errors_.Report()) return;
        unsigned const shown = std::min(unsigned(length), dump_bytes);
        std::cerr << ext::header(this) << ": receive : decode error!" << std::endl
                  << " msg: " << ext::hex(data, shown);
        if (shown < unsigned(length)) std::cerr << "... (" << length << " bytes)";
        std::cerr << std::endl;
        return;
    }
    // Responses and signals need nothing from the server.
    if (message.get_pdu().command_isSelected() && agent_commands_.Report())
        std::cerr << ext::header(this) << ": receive : command from the agent dropped" << std::endl;
}

void SnmpAgentInstance::OnPingTimer() {
    MON::Message ping;
    ping.set_pdu().select_command().select_ping();
    Send(ping);
}

void SnmpAgentInstance::OnSilence() {
    std::cerr << ext::header(this) << ": ping timeout !!!" << std::endl;
    ping_timer_.reset();
    link_.Disconnect();
}
