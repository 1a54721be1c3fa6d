#pragma once
// The wiring of the server: creates the slot factories in chain order and the
// board's services, configures the monitoring controller from the
// configuration file, and binds the control services to the control server
// in dispatch order. The program entry calls it once at start-up, and so does
// the fuzz target of the control link, so the two serve the same services.

#include "runtime/config/ini_file.h"

void StartServices(IniFile::File& config);
