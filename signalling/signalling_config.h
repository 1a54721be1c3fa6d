#pragma once
// The settings of the signalling links from the configuration section
// "signalling": the SS7 link timers, the LAPD timers T200 and T203 of the
// ISDN links and the period of the link reports, in milliseconds. The
// program entry configures them once at start; the SS7, ISDN and HDLC slots
// read them when they are made.
//
//   [signalling]
//   ss7.t1 = 45000      ss7.t2 = 20000   ss7.t3 = 1200   ss7.t4n = 8200
//   ss7.t4e = 500       ss7.t6 = 5000    ss7.t7 = 1000   ss7.fill = 50
//   isdn.t200 = 1000    isdn.t203 = 10000
//   report = 10000

#include "runtime/config/ini_file.h"
#include "signalling/ss7/mtp2_link.h"

struct SignallingConfig {
    Ss7::Mtp2Link::Timers ss7;
    unsigned isdn_t200 = 1000;
    unsigned isdn_t203 = 10000;
    unsigned report = 10000;
};

SignallingConfig& signallingConfig();

// Reads every subsection of the section; a key that is not a number from 1
// to 3600000 gets a line on the error stream and keeps its value.
void ConfigureSignalling(IniFile::Section& section);
