#pragma once
// Programs that tests start as child processes: the server, the controller
// tool, the stand-ins. A program runs with its standard streams on files and,
// when asked, its own MOBREL_ROOT; the test waits for its end with a bound.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace support {

// Polls the predicate every 10 ms until it holds or the bound passes; for
// waiting on other processes (runUntil in loop.h drives this one's loop).
bool waitFor(std::function<bool()> const& predicate, std::chrono::milliseconds bound);

struct Launch {
    std::string program;
    std::vector<std::string> args;
    std::string root;           // its MOBREL_ROOT, when not empty
    std::string input;          // a file for its standard input, when not empty
    bool closed_input = false;  // or its standard input closed
    std::string output;         // files for its standard output and error,
    std::string errors;         // when not empty
};

// Starts the program with no descriptor of the test's besides its three
// streams; its pid.
pid_t start(Launch const& launch);
// Waits for the process to end: its exit status (128 + the signal that ended
// it), or -1 when it did not end within the bound.
int waitExit(pid_t pid, std::chrono::milliseconds bound);
// The processor time the process has used so far, user and system, in
// clock ticks; -1 when it cannot be read.
long cpuTicks(pid_t pid);

// Sends a signal to one process, or to the process group it leads. A pid
// that names no single process (0, -1, 1: the caller's group, every process,
// init) is refused, so a test that lost its child can never signal the
// machine; false then, or when kill fails.
bool signalProcess(pid_t pid, int sig);
bool signalGroup(pid_t leader, int sig);

}  // namespace support
