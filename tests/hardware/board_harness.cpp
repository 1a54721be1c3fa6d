#include "board_harness.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace harness {

void describeBoard(std::string const& root, std::string const& text) {
    ::mkdir((root + "/simboard").c_str(), 0755);
    std::ofstream(root + "/simboard/board.conf") << text;
}

std::string boardTool(std::string const& root, std::string const& command, int* status) {
    int out[2];
    if (::pipe(out) != 0) return "";
    pid_t const child = ::fork();
    if (child == 0) {
        ::setenv("MOBREL_ROOT", root.c_str(), 1);
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execl("/bin/sh", "sh", "-c", (std::string(MOBREL_BOARD_TOOL) + " " + command).c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof(buffer))) > 0;)
        text.append(buffer, size_t(got));
    ::close(out[0]);
    int wstatus = 0;
    ::waitpid(child, &wstatus, 0);
    if (status) *status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return text;
}

}  // namespace harness
