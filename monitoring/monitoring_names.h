#pragma once
// The names under which the SNMP agents are told the monitoring values: one
// MON::IniName (section, name, index) per value, all of them in this one
// table. The monitoring controller builds its `snmp-set` commands from it;
// the README lists it for the agents' authors.

#include <limits>
#include <string>

namespace MonNames {

struct Name {
    char const* section;
    char const* name;
};

// The first line of each version file; index 0.
inline constexpr Name software_version{"version", "software"};
inline constexpr Name uboot_version{"version", "u-boot"};
inline constexpr Name fpga_version{"version", "fpga"};
inline constexpr Name board_version{"version", "board"};
// The configuration entries' names, blank-separated; index 0.
inline constexpr Name configuration{"configuration", "version"};
// Index 0.
inline constexpr Name temperature{"board", "temperature"};
inline constexpr Name power{"board", "power"};
inline constexpr Name dip_switch{"board", "dipSwitch"};
// The framer driver's status text; index the E1 framer, 0 to 3.
inline constexpr Name framer_status{"framer", "status"};
// What the controller said of a framer: "up" or "down"; index the framer.
inline constexpr Name framer_line{"framer", "line"};
inline constexpr Name framer_link{"framer", "link"};
// "up", "down" or "unknown"; the name is the interface's, index 0.
inline constexpr char interface_section[] = "interface";
// The controller's state and address ("10.0.0.2:20001"); index 0.
inline constexpr Name controller_status{"controller", "status"};
inline constexpr Name controller_host{"controller", "host"};
// Extension boards; index the board's position.
inline constexpr Name ext_board_version{"extBoard", "version"};
inline constexpr Name ext_board_status{"extBoard", "status"};
inline constexpr Name ext_board_type{"extBoard", "type"};
// A channel of an extension board; index 1000 × position + channel, which
// tells every channel apart only for channels 0 to 999 and, the index being
// a 32-bit number, positions 0 to 2,147,482.
inline constexpr Name ext_channel_caller{"extBoardChannel", "callerID"};
inline constexpr Name ext_channel_called{"extBoardChannel", "calledID"};
inline constexpr int channels_per_position = 1000;
inline constexpr int max_channel_position =
    (std::numeric_limits<int>::max() - (channels_per_position - 1)) / channels_per_position;
// Em-phone units; index the unit's id.
inline constexpr Name em_phone_panel{"emPhone", "panelSV"};
inline constexpr Name em_phone_ctrl{"emPhone", "ctrlSV"};
inline constexpr Name em_phone_fpga{"emPhone", "fpgaSV"};
inline constexpr Name em_phone_status{"emPhone", "status"};
inline constexpr Name em_phone_power{"emPhone", "power"};
inline constexpr Name em_phone_mode{"emPhone", "mode"};
inline constexpr Name em_phone_hook{"emPhone", "hook"};
inline constexpr Name em_phone_base{"emPhone", "base"};
inline constexpr Name em_phone_channel{"emPhone", "channel"};
// Term counters: the name is the owner's ("router"), index its ownerId (0
// without one).
inline constexpr char term_counter_section[] = "termCounter";

// Every section above: the agents may tell the server's own values from
// what the controller sets through `snmp-set` by them.
inline constexpr char const* own_sections[] = {
    "version",  "configuration",   "board",   "framer",     "interface",
    "controller", "extBoard", "extBoardChannel", "emPhone", "termCounter"};

}  // namespace MonNames
