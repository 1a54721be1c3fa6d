#pragma once
// Every fixed absolute path of the server (configuration, pid file, status
// dump, device and /proc files, monitoring files, child programs) is opened
// through Platform::path, which places it under the directory named by the
// environment variable MOBREL_ROOT. On the board the variable is unset and
// the paths stay as written; tests and host runs point it at a directory of
// their own.

#include <string>

namespace Platform {

// "/var/run/server.pid" -> "$MOBREL_ROOT/var/run/server.pid" (or unchanged
// when MOBREL_ROOT is unset or empty). Relative paths are returned unchanged.
std::string path(std::string const& absolute);

}  // namespace Platform
