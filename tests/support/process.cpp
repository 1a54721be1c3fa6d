#include "tests/support/process.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace support {

bool waitFor(std::function<bool()> const& predicate, std::chrono::milliseconds bound) {
    auto const end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (predicate()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

namespace {

// In the child: the stream on the file, opened with the flags.
void redirect(int stream, std::string const& path, int flags) {
    if (path.empty()) return;
    int const fd = ::open(path.c_str(), flags, 0644);
    ::dup2(fd, stream);
    if (fd != stream) ::close(fd);
}

}  // namespace

pid_t start(Launch const& launch) {
    pid_t const pid = ::fork();
    if (pid != 0) return pid;
    if (!launch.root.empty()) ::setenv("MOBREL_ROOT", launch.root.c_str(), 1);
    redirect(STDIN_FILENO, launch.input, O_RDONLY);
    if (launch.closed_input) ::close(STDIN_FILENO);
    redirect(STDOUT_FILENO, launch.output, O_WRONLY | O_CREAT | O_TRUNC);
    redirect(STDERR_FILENO, launch.errors, O_WRONLY | O_CREAT | O_TRUNC);
    // The program gets the three streams only, whatever the test holds open.
    ::closefrom(STDERR_FILENO + 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(launch.program.c_str()));
    for (std::string const& a : launch.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(launch.program.c_str(), argv.data());
    ::_exit(127);
}

int waitExit(pid_t pid, std::chrono::milliseconds bound) {
    int status = 0;
    bool const ended = waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, bound);
    if (!ended) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool signalProcess(pid_t pid, int sig) { return pid > 1 && ::kill(pid, sig) == 0; }

bool signalGroup(pid_t leader, int sig) { return leader > 1 && ::kill(-leader, sig) == 0; }

long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return -1;
    // The fields after the command name, which ends with the last ')':
    // state is the 3rd field, utime the 14th and stime the 15th.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long user = -1, system = -1;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14) user = std::stol(field);
        if (n == 15) system = std::stol(field);
    }
    return user < 0 || system < 0 ? -1 : user + system;
}

}  // namespace support
