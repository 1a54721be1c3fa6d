#pragma once
// The wiring of the server: creates the slot factories in chain order and the
// TDM switch, configures the monitoring controller from the configuration
// file, runs `before_binding` (the program entry becomes a daemon and writes
// its pid file there), and binds the control services to the control server
// in dispatch order, which opens the board's services (the SPI framers among
// them). The program entry calls it once at start-up, and so does the fuzz
// target of the control link, so the two serve the same services.

#include <functional>

#include "runtime/config/ini_file.h"

void StartServices(IniFile::File& config, std::function<void()> const& before_binding = {});
