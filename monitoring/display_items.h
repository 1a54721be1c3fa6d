#pragma once
// The `display` items of the controller that the monitoring keeps in files
// and tells the agents - extension boards, em-phones, term counters and the
// E1 framers' line and link - each turned into the line it stands as in its
// file and the values the agents are told (names from monitoring_names.h).
// The monitoring controller calls it for every such item.

#include <string>
#include <vector>

#include "messages/lgcp/lgcp.h"

// One value for the agents under MON::IniName (section, name, index).
struct MonValue {
    std::string section;
    std::string name;
    int index;
    std::string value;
};

struct DisplayRecord {
    // The file the item goes to ("board", "emPhone", "termCounter", "framer").
    std::string file;
    // What the item replaces in that file: the line under the same key.
    std::string key;
    std::string line;
    std::vector<MonValue> values;
    // Why the item cannot be kept ("position 2147484 channel 5: ..."); empty
    // when it can.
    std::string refused;
};

// The record of a `board`, `emPhone`, `termCounter` or `framer` item; false
// for any other item.
bool RecordOf(LGCP::DisplayParams const& item, DisplayRecord& record);

// "10.0.0.2:20001"
std::string HostText(LGCP::ControllerInfo const& controller);
