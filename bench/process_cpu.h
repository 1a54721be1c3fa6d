#pragma once
// The CPU time a process has used, for the benchmarks that time a server
// process from outside.

#include <sys/types.h>

#include <cstdint>
#include <fstream>
#include <string>

// CPU time (user + system) the process has used so far, in nanoseconds: the
// scheduler's count, which has no tick granularity. False when it cannot be
// read.
inline bool ProcessCpuNs(pid_t pid, uint64_t& ns) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    return bool(in >> ns);
}
