#pragma once
// The four trace switches of the configuration section "traces". Start-up
// fills the global `traces` once; the code that traces reads it directly.

#include "runtime/config/ini_file.h"

class TraceCtl {
public:
    struct Signalling {
        bool hdlc = false;    // "signalling.hdlc"
        bool rerira = false;  // "signalling.rerira"
        bool events = false;  // "signalling.events"
    };
    struct Monitoring {
        bool internal = false;  // "monitoring.internal"
    };

    // Every subsection in file order.
    void Configure(IniFile::Section& section);
    // One subsection: hdlc, rerira and internal are cleared first (the last
    // subsection decides them); events keeps its value unless the key is given.
    void Configure(IniFile::SubSection& subsection);

    Signalling signalling;
    Monitoring monitoring;
};

extern TraceCtl traces;
