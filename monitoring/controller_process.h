#pragma once
// Whether the controller process runs on this board: a process whose name,
// as /proc/<pid>/stat gives it between parentheses, is "controller". The
// monitoring controller's check looks every few seconds.

#include <string>

bool ProcessRunning(std::string const& name);
bool ControllerProcessRunning();
