#include "monitoring/monitoring_ctl.h"

#include <cstdint>
#include <iostream>

#include "monitoring/controller_process.h"
#include "monitoring/mon_codec.h"
#include "monitoring/monitoring_names.h"
#include "runtime/config/ini_reader.h"
#include "runtime/system/inet.h"
#include "server/tpkt.h"
#include "server/trace_ctl.h"

namespace {

// The monitoring files of the server's own values.
char const* const version_files[][2] = {
    {"version", "/var/version"},
    {"u-boot-version", "/var/u-boot-version"},
    {"fpga-version", "/var/fpga-version"},
    {"board-version", "/var/board-version"},
};
MonNames::Name const version_names[] = {MonNames::software_version, MonNames::uboot_version,
                                        MonNames::fpga_version, MonNames::board_version};
char const temperature_path[] = "/proc/temperature";
char const controller_status_file[] = "controller";
char const controller_host_file[] = "controller-host";

enum class Milliseconds : uint32_t {};

MonValue value_of(MonNames::Name const& name, int index, std::string const& value) {
    return {name.section, name.name, index, value};
}

std::string power_text(LGCP::POWERStatus::NamedNumber power) {
    LGCP::POWERStatus status;
    status = power;
    return std::string(status.name());
}

// The periods of the section "monitoring"; a period of 0 is refused.
MonitoringCtl::Periods read_periods(IniFile::File& file) {
    MonitoringCtl::Periods periods;
    for (IniFile::SubSection& subsection : file["monitoring"]) {
        Milliseconds first{periods.first_ms}, board{periods.board_ms}, state{periods.state_ms},
            controller{periods.controller_ms};
        IniFile::Reader reader("monitoring: ", std::cerr);
        reader.mOptional.add(&first, "check.first");
        reader.mOptional.add(&board, "check.board");
        reader.mOptional.add(&state, "check.state");
        reader.mOptional.add(&controller, "check.controller");
        reader(subsection);
        unsigned* const targets[] = {&periods.first_ms, &periods.board_ms, &periods.state_ms,
                                     &periods.controller_ms};
        Milliseconds const read[] = {first, board, state, controller};
        for (int i = 0; i < 4; ++i) {
            if (uint32_t(read[i]) > 0) {
                *targets[i] = uint32_t(read[i]);
                continue;
            }
            std::cerr << "monitoring: a check period of 0 ms is refused" << std::endl;
        }
    }
    return periods;
}

}  // namespace

MonitoringCtl& MonitoringCtl::instance() {
    static MonitoringCtl monitoring;
    return monitoring;
}

MonitoringCtl::MonitoringCtl() {
    snapshot_call_.Bind(this, &MonitoringCtl::SendSnapshot);
    StartChecks();
}

MonitoringCtl::~MonitoringCtl() = default;

void MonitoringCtl::StartChecks() {
    board_timer_.set(periods_.first_ms, &MonitoringCtl::OnBoardTimer, this);
    state_timer_.set(periods_.state_ms, &MonitoringCtl::OnStateTimer, this);
    controller_timer_.set(periods_.controller_ms, &MonitoringCtl::OnControllerTimer, this);
}

void MonitoringCtl::Configure(IniFile::File& file) {
    agents_.clear();
    for (IniFile::SubSection& subsection : file["snmpagent"]) {
        std::string host;
        std::string name;
        IniFile::Reader reader("snmpagent: ", std::cerr);
        reader.mRequired.add(&host, "host");
        reader.mRequired.add(&name, "name");
        if (!reader(subsection)) continue;
        INet4::Addr address;
        int port = -1;
        if (!address.Assign(host, &port) || port <= 0) {
            std::cerr << "snmpagent: agent \"" << name << "\" needs an address and a port, not \""
                      << host << "\"\n";
            continue;
        }
        agents_.push_back(
            std::make_unique<SnmpAgentInstance>(name, address.GetStrAddr(), address.port(), this));
    }
    periods_ = read_periods(file);
    StartChecks();
}

void MonitoringCtl::OnConnect() {
    LGCP::POWERStatus::NamedNumber const power = board_.Power();
    LGCP::Signal signal;
    signal.select_power(power);
    SendSignal(signal);
    if (traces.monitoring.internal)
        std::clog << "monitoring: power " << power_text(power) << " to the controller"
                  << std::endl;
    controller_reported_ = false;
    CheckController();
}

void MonitoringCtl::OnDisconnect() {
    files_.Remove(controller_status_file);
    files_.Remove(controller_host_file);
    controller_reported_ = false;
    CheckController();
}

bool MonitoringCtl::OnCommand(LGCP::Command const& command) {
    if (!command.display_isSelected()) return false;
    LGCP::DisplayParams const& item = command.get_display();
    DisplayRecord record;
    if (item.snmpTrapReceivers_isSelected()) {
        auto const& list = item.get_snmpTrapReceivers();
        std::vector<std::string> const hosts(list.begin(), list.end());
        state_.SetTrapReceivers(hosts);
        files_.Write("snmpTrapReceivers", hosts);
        SendToAgents(TrapsinkSetMessage(hosts));
    } else if (item.snmp_set_isSelected()) {
        MON::SnmpSetCommands const& commands = item.get_snmp_set();
        if (size_t const refused = state_.Set(commands))
            std::cerr << "monitoring: snmp-set: " << refused
                      << " value(s) refused: what is kept for the agents holds "
                      << state_.values() << " ids and " << state_.bytes()
                      << " bytes (at most " << MonitoringState::max_values << " and "
                      << MonitoringState::max_bytes
                      << "); they go only to the agents connected now" << std::endl;
        snmp_set_changed_ = true;
        for (MON::Message const& message : SnmpSetMessages(commands)) SendToAgents(message);
    } else if (item.controller_isSelected()) {
        controller_ = item.get_controller();
        controller_reported_ = true;
        TellController();
    } else if (RecordOf(item, record)) {
        if (item.framer_isSelected()) SetFramerLed(item.get_framer());
        Keep(record);
    }
    Success();
    return true;
}

void MonitoringCtl::Keep(DisplayRecord const& record) {
    if (!record.refused.empty()) {
        std::cerr << "monitoring: display " << record.file << ": " << record.refused
                  << "; refused" << std::endl;
        return;
    }
    auto& lines = display_lines_[record.file];
    size_t bytes = record.line.size();
    for (auto const& entry : lines)
        if (entry.first != record.key) bytes += entry.second.size();
    bool const added = lines.find(record.key) == lines.end();
    if ((added && lines.size() >= max_display_lines) || bytes > max_display_bytes) {
        std::cerr << "monitoring: display " << record.file << ": " << lines.size()
                  << " lines kept already (at most " << max_display_lines << " and "
                  << max_display_bytes << " bytes); \"" << OneLine(record.line).substr(0, 80)
                  << "\" is refused" << std::endl;
        return;
    }
    lines[record.key] = record.line;
    std::vector<std::string> text;
    for (auto const& entry : lines) text.push_back(entry.second);
    files_.Write(record.file, text);
    Tell(record.values);
}

void MonitoringCtl::SetFramerLed(LGCP::FramerInfo const& framer) {
    LGCP::FramerInfoData const& info = framer.get_info();
    bool const line = info.line_isSelected();
    bool const on = line ? bool(info.get_line()) : bool(info.get_link());
    board_.SetLed(unsigned(framer.get_e1().getValue()) * 2 + (line ? 0 : 1), on);
}

void MonitoringCtl::Tell(std::vector<MonValue> const& values) {
    MON::SnmpSetCommands changed;
    for (MonValue const& value : values) {
        MON::SnmpSetCommand command;
        MON::IniName& name = command.set_id().select_name();
        name.set_section(value.section);
        name.set_name(value.name);
        name.set_index(value.index);
        std::string const line = OneLine(value.value);
        std::string const told = CutLine(line, MonitoringState::max_value_length);
        command.set_value(told);
        if (state_.Holds(command)) continue;
        command.set_uniq(next_uniq_++);
        changed.set_commands().push_back(command);
        std::string const id = value.section + '/' + value.name + '/' + std::to_string(value.index);
        if (told.size() < line.size())
            std::cerr << "monitoring: " << id << ": a value of " << line.size()
                      << " characters is cut to " << told.size() << " for the agents" << std::endl;
        if (traces.monitoring.internal)
            std::clog << "monitoring: tell " << id << " = " << told << std::endl;
    }
    // Each frame's values are kept as told only once the frame encodes and
    // goes to the agents: a value kept but never sent would not be sent
    // again until it changed.
    for (MON::Message const& message : SnmpSetMessages(changed)) {
        auto const& commands = message.get_pdu().get_command().get_snmp_set();
        if (!SendToAgents(message)) continue;
        if (size_t const refused = state_.Set(commands, true))
            std::cerr << "monitoring: " << refused
                      << " value(s) of the server's own told but not kept for the snapshot: "
                      << "what is kept holds " << state_.values(true) << " ids and "
                      << state_.bytes(true) << " bytes (at most " << MonitoringState::max_own_values
                      << " and " << MonitoringState::max_own_bytes << ")" << std::endl;
    }
}

void MonitoringCtl::OnSnmpAgentConnect(std::string const&) {
    snapshot_call_.Activate();
}

void MonitoringCtl::SendSnapshot() {
    snapshot_call_.Deactivate();
    std::vector<MON::Message> const snapshot = state_.Snapshot();
    if (traces.monitoring.internal)
        std::clog << "monitoring: snapshot of " << state_.values() + state_.values(true)
                  << " values in "
                  << snapshot.size() << " messages" << std::endl;
    for (MON::Message const& message : snapshot) SendToAgents(message);
}

bool MonitoringCtl::SendToAgents(MON::Message const& message) {
    std::vector<char> octets;
    if (!MonCodec::Encode(message, octets) || octets.size() > Tpkt_protocol::max_payload) {
        size_t const values = message.get_pdu().get_command().snmp_set_isSelected()
                                  ? message.get_pdu().get_command().get_snmp_set().get_commands().size()
                                  : 0;
        std::cerr << "monitoring: a message of " << values << " value(s) for the agents does not "
                  << (octets.empty() ? "encode" : "fit a frame") << ": not sent" << std::endl;
        return false;
    }
    for (auto const& agent : agents_) agent->Send(octets);
    return true;
}

void MonitoringCtl::OnBoardTimer() {
    board_timer_.set(periods_.board_ms, &MonitoringCtl::OnBoardTimer, this);
    CheckBoard();
}

void MonitoringCtl::OnStateTimer() {
    state_timer_.set(periods_.state_ms, &MonitoringCtl::OnStateTimer, this);
    CheckState();
}

void MonitoringCtl::OnControllerTimer() {
    controller_timer_.set(periods_.controller_ms, &MonitoringCtl::OnControllerTimer, this);
    CheckController();
}

void MonitoringCtl::CheckBoard() {
    std::vector<MonValue> values;
    for (size_t i = 0; i < std::size(version_files); ++i) {
        std::string const version = board_.FirstLine(version_files[i][1]);
        files_.Write(version_files[i][0], {version});
        values.push_back(value_of(version_names[i], 0, version));
    }
    std::vector<std::string> const entries = board_.ConfigEntries();
    files_.Write("config-version", entries);
    std::string joined;
    for (std::string const& entry : entries) joined += (joined.empty() ? "" : " ") + entry;
    values.push_back(value_of(MonNames::configuration, 0, joined));

    std::vector<std::string> framers;
    for (int framer = 0; framer < BoardReader::framers; ++framer) {
        std::string const status = board_.FramerStatus(framer);
        framers.push_back(status);
        values.push_back(value_of(MonNames::framer_status, framer, status));
    }
    files_.Write("framer-status", framers);

    std::string const temperature = board_.FirstLine(temperature_path);
    files_.Write("temperature", {temperature});
    values.push_back(value_of(MonNames::temperature, 0, temperature));
    Tell(values);
}

void MonitoringCtl::CheckState() {
    std::string const power = power_text(board_.Power());
    std::string const dip = board_.DipSwitch();
    files_.Write("power", {power});
    files_.Write("dip-switch", {dip});
    std::vector<MonValue> values = {value_of(MonNames::power, 0, power),
                                    value_of(MonNames::dip_switch, 0, dip)};
    std::vector<std::string> interfaces;
    for (std::string const& name : BoardReader::interfaces()) {
        std::string const state = board_.InterfaceState(name);
        interfaces.push_back(name + " " + state);
        values.push_back({MonNames::interface_section, name, 0, state});
    }
    files_.Write("interfaces", interfaces);
    Tell(values);
    if (snmp_set_changed_) files_.Write("snmp-set", state_.ControllerValues());
    snmp_set_changed_ = false;
}

void MonitoringCtl::CheckController() {
    bool connected = false;
    if (server()) CheckServerConnection(connected);
    if (connected) {
        if (!controller_reported_) controller_.set_status(HSP::ControllerStatus::ok);
    } else {
        controller_.set_status(ControllerProcessRunning() ? HSP::ControllerStatus::notconnection
                                                          : HSP::ControllerStatus::notrun);
    }
    TellController();
}

void MonitoringCtl::TellController() {
    std::string const status(controller_.get_status().name());
    files_.Write(controller_status_file, {status});
    // The address stands only while the controller that gave it stays;
    // the agents are then told none.
    std::string const host = controller_reported_ ? HostText(controller_) : "";
    if (controller_reported_) files_.Write(controller_host_file, {host});
    Tell({value_of(MonNames::controller_status, 0, status),
          value_of(MonNames::controller_host, 0, host)});
}
