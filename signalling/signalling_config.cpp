#include "signalling/signalling_config.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "runtime/config/ini_reader.h"

namespace {

unsigned const longest = 3600000;

void Read(IniFile::SubSection& subsection, char const* key, unsigned& target) {
    std::string text;
    IniFile::Reader reader("signalling: ", std::cerr);
    reader.mOptional.add(&text, key);
    reader(subsection);
    if (text.empty()) return;
    char* end = nullptr;
    unsigned long const value = std::strtoul(text.c_str(), &end, 10);
    if (text[0] == '-' || *end != '\0' || value == 0 || value > longest) {
        std::cerr << "signalling: " << key << " wants milliseconds from 1 to " << longest
                  << ", not \"" << text << "\"" << std::endl;
        return;
    }
    target = unsigned(value);
}

}  // namespace

SignallingConfig& signallingConfig() {
    static SignallingConfig config;
    return config;
}

void ConfigureSignalling(IniFile::Section& section) {
    SignallingConfig& config = signallingConfig();
    Ss7::Mtp2Link::Timers& t = config.ss7;
    for (IniFile::SubSection& subsection : section) {
        struct {
            char const* key;
            unsigned& target;
        } const keys[] = {{"ss7.t1", t.t1},   {"ss7.t2", t.t2},   {"ss7.t3", t.t3},
                          {"ss7.t4n", t.t4n}, {"ss7.t4e", t.t4e}, {"ss7.t6", t.t6},
                          {"ss7.t7", t.t7},   {"ss7.fill", t.fill}, {"report", config.report},
                          {"isdn.t200", config.isdn_t200}, {"isdn.t203", config.isdn_t203}};
        for (auto const& k : keys) Read(subsection, k.key, k.target);
    }
}
