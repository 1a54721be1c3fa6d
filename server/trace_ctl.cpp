#include "server/trace_ctl.h"

#include <iostream>

#include "runtime/config/ini_reader.h"

TraceCtl traces;

void TraceCtl::Configure(IniFile::Section& section) {
    for (IniFile::SubSection& subsection : section) Configure(subsection);
}

void TraceCtl::Configure(IniFile::SubSection& subsection) {
    signalling.hdlc = false;
    signalling.rerira = false;
    monitoring.internal = false;
    IniFile::Reader reader("traces: ", std::cerr);
    reader.mOptional.add(&signalling.hdlc, "signalling.hdlc");
    reader.mOptional.add(&signalling.rerira, "signalling.rerira");
    reader.mOptional.add(&signalling.events, "signalling.events");
    reader.mOptional.add(&monitoring.internal, "monitoring.internal");
    reader(subsection);
}
