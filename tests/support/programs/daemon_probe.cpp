// A small program for the daemon-start tests: it daemonises with the mode,
// name and working-directory flag given on its command line, then writes to
// each of its streams and once directly to descriptor 1. A static object
// writes a last line while the program's statics are destroyed at exit.
//
//   daemon_probe <mode> <name> <keep-cwd 0|1> <done-fd>
//
// done-fd is the write end of a pipe that the daemon keeps open until it
// ends, so the test can wait for it.

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "runtime/log/daemon.h"

namespace {

struct LastWords {
    ~LastWords() { std::clog << "static goodbye" << std::endl; }
} last_words;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: daemon_probe <mode> <name> <keep-cwd 0|1> <done-fd>" << std::endl;
        return 1;
    }
    Daemon::Params params;
    params.mode = std::atoi(argv[1]);
    params.name = argv[2];
    params.keep_cwd = std::atoi(argv[3]) != 0;
    Daemon::Init(params);

    // A second start changes nothing.
    Daemon::Params other;
    other.mode = 1;
    other.name = "/nonexistent";
    Daemon::Init(other);

    char cwd[4096] = "?";
    if (getcwd(cwd, sizeof(cwd)) == nullptr) cwd[0] = '?';
    std::cout << "cwd=" << cwd << std::endl;
    std::cerr << "error line" << std::endl;
    std::clog << "log line" << std::endl;
    if (write(1, "raw\n", 4) != 4) std::cerr << "raw write failed" << std::endl;
    return 0;
}
