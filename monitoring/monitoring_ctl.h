#pragma once
// The monitoring controller: the control service that takes `display`, bound
// last, and the owner of one link per SNMP agent of the section "snmpagent".
//
// Its periodic checks read the board whether or not a controller is
// connected: the versions, the configuration, the framers and the
// temperature first after first_ms and then every board_ms; the power
// supplies, the DIP switch and the network interfaces every state_ms; the
// controller every controller_ms. What they read goes to the monitoring
// files (monitoring_files.h) and, when it changed, to the agents.
//
// A `display` item is kept in its file and for the agents; a `framer` item
// also sets its LED; trap destinations and `snmp-set` values go to the
// agents as they are (the file of the `snmp-set` values follows at the next
// check of the state). Every `display` is answered success, with or without
// agents. When a link comes up, every connected agent is told everything
// kept again (from a deferred call, once per loop pass however many links
// came up).
//
// It keeps the controller state: every controller_ms, and whenever the
// controller connects or goes, it is set from the control connection and the
// presence of the controller process; a `display` item `controller` replaces
// it for as long as that controller stays connected. A newly connected
// controller is told the power-supply state as the signal `power`.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"
#include "monitoring/board_reader.h"
#include "monitoring/display_items.h"
#include "monitoring/monitoring_files.h"
#include "monitoring/monitoring_state.h"
#include "monitoring/snmp_agent_instance.h"
#include "runtime/config/ini_file.h"
#include "runtime/loop/dpc.h"
#include "runtime/loop/timer.h"
#include "server/ctrl_server.h"

class MonitoringCtl : public CtrlSrv::Service, public ISnmpAgentNotify {
public:
    // The checks' periods in milliseconds; the section "monitoring" of the
    // configuration may change them (keys "check.first", "check.board",
    // "check.state", "check.controller").
    struct Periods {
        unsigned first_ms = 1000;
        unsigned board_ms = 60000;
        unsigned state_ms = 2000;
        unsigned controller_ms = 5000;
    };
    // Lines and their bytes kept at most in the file of one `display` item
    // kind; an item beyond them is refused with a line.
    static constexpr size_t max_display_lines = 1024;
    static constexpr size_t max_display_bytes = 256 * 1024;

    static MonitoringCtl& instance();
    ~MonitoringCtl() override;

    // One agent link per complete subsection of "snmpagent" whose "host"
    // carries an address and a port; the links of an earlier call go. The
    // checks start again with the periods of "monitoring".
    void Configure(IniFile::File& file);

    void OnConnect() override;
    void OnDisconnect() override;
    bool OnCommand(LGCP::Command const& command) override;
    void OnSnmpAgentConnect(std::string const& name) override;

    // The versions, the configuration entries, the framers and the temperature.
    void CheckBoard();
    // The power supplies, the DIP switch and the network interfaces.
    void CheckState();
    // Sets the controller state: connected, OK unless the controller said
    // otherwise since it connected; else "not connected" while the
    // controller process runs and "not running" when it does not.
    void CheckController();
    LGCP::ControllerInfo const& controller() const { return controller_; }

    std::vector<std::unique_ptr<SnmpAgentInstance>> const& agents() const { return agents_; }
    MonitoringState const& state() const { return state_; }
    Periods const& periods() const { return periods_; }

private:
    MonitoringCtl();
    void StartChecks();
    void OnBoardTimer();
    void OnStateTimer();
    void OnControllerTimer();

    // Keeps the values and tells the agents those that changed.
    void Tell(std::vector<MonValue> const& values);
    void Keep(DisplayRecord const& record);
    void SetFramerLed(LGCP::FramerInfo const& framer);
    // The controller's files and values from controller_.
    void TellController();
    // Encodes the message once and sends it on every link that is up; false
    // (with a line) when it does not encode into one frame.
    bool SendToAgents(MON::Message const& message);
    void SendSnapshot();

    Periods periods_;
    std::vector<std::unique_ptr<SnmpAgentInstance>> agents_;
    MonitoringState state_;
    BoardReader board_;
    MonitoringFiles files_;
    Dpc snapshot_call_;
    LGCP::ControllerInfo controller_;
    // The controller gave its state since it connected.
    bool controller_reported_ = false;
    // The `uniq` of the next `snmp-set` command the server makes.
    int next_uniq_ = 1;
    // The controller's `snmp-set` values changed since their file was
    // written; it is written at the next check of the state, not at every
    // item, so that a controller setting values quickly does not rewrite a
    // file of up to a megabyte each time.
    bool snmp_set_changed_ = false;
    // The lines of each `display` item's file, by key.
    std::map<std::string, std::map<std::string, std::string>> display_lines_;
    Timer board_timer_;
    Timer state_timer_;
    Timer controller_timer_;
};
