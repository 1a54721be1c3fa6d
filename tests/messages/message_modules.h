#pragma once
// The nine generated message modules as the tests walk them: each module's
// type records and names, and the records that LGCP::Message and
// MON::Message reach through components, alternatives and list elements.

#include <map>
#include <set>
#include <string>

namespace MessageModules {

struct Module {
    char const* name;
    void const* const* types;
    char const* const* names;
    unsigned count;
};

extern Module const all[9];

unsigned tagOf(void const* record);
// Generated record -> the name of its module.
std::map<void const*, std::string> generatedRecords();
// Every record reachable from the two coded messages, generated or not.
std::set<void const*> reachableFromTheMessages();

}  // namespace MessageModules
