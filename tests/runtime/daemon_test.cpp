#include "runtime/log/daemon.h"

#include <dirent.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/log/version.h"
#include "tests/support/log_socket.h"
#include "tests/support/temp_root.h"

namespace {

using support::LogSocket;
using support::records;
using support::TempRoot;

// Runs the daemonising probe and waits, with a bound, until the daemon it
// leaves behind has ended. Returns the exit status of the started process.
int run_probe(int mode, std::string const& name, bool keep_cwd, char const* cwd) {
    int done[2];
    if (pipe(done) != 0) return -1;
    pid_t const pid = fork();
    if (pid == 0) {
        close(done[0]);
        if (chdir(cwd) != 0) _exit(120);
        std::string const mode_text = std::to_string(mode);
        std::string const fd_text = std::to_string(done[1]);
        execl(MOBREL_DAEMON_PROBE, "daemon_probe", mode_text.c_str(), name.c_str(),
              keep_cwd ? "1" : "0", fd_text.c_str(), static_cast<char*>(nullptr));
        _exit(121);
    }
    close(done[1]);
    int status = -1;
    waitpid(pid, &status, 0);
    // The daemon holds the pipe's write end until it ends.
    pollfd p = {done[0], POLLIN, 0};
    char c;
    if (poll(&p, 1, 5000) == 1) (void)!read(done[0], &c, 1);
    close(done[0]);
    return status;
}

TEST(DaemonStart, SendsTheStreamsToSyslogAndWorksFromTheRootDirectory) {
    TempRoot root;
    LogSocket server(root.path());
    ASSERT_TRUE(server.ok());
    std::string const tag = std::string("zvk-") + Version::current.tag();

    int const status = run_probe(Daemon::syslog_mode, tag, false, root.path().c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::vector<std::string> got;
    for (int i = 0; i < 5; ++i) {
        std::string const datagram = server.receive();
        if (datagram == "<none>") break;
        if (datagram.find('\0') == std::string::npos) {
            got.push_back("raw: " + datagram);
            continue;
        }
        for (std::string const& r : records(datagram)) {
            // Drop the time: "<pri>Mmm dd hh:mm:ss " is 16 characters after ">".
            size_t const close = r.find('>');
            got.push_back(r.substr(0, close + 1) + r.substr(close + 17));
        }
    }
    EXPECT_EQ(got, (std::vector<std::string>{
                       "<29>zvk-T231005-1638: cwd=/",
                       "<27>zvk-T231005-1638: error line",
                       "<31>zvk-T231005-1638: log line",
                       "raw: raw\n",
                       "<31>zvk-T231005-1638: static goodbye",
                   }));
}

TEST(DaemonStart, CutsALongTagTo79Characters) {
    TempRoot root;
    LogSocket server(root.path());
    std::string const name(100, 't');
    int const status = run_probe(Daemon::syslog_mode, name, true, root.path().c_str());
    ASSERT_TRUE(WIFEXITED(status));
    auto const first = records(server.receive());
    ASSERT_FALSE(first.empty());
    std::string const expected_end = std::string(79, 't') + ": cwd=" + root.path();
    ASSERT_GE(first[0].size(), expected_end.size());
    EXPECT_EQ(first[0].substr(first[0].size() - expected_end.size()), expected_end);
    EXPECT_EQ(first[0].find(std::string(80, 't')), std::string::npos);
}

TEST(DaemonStart, WritesHourlyLogFilesInLogFileMode) {
    TempRoot root;
    int const status = run_probe(Daemon::logfile_mode, root.path(), false, "/");
    ASSERT_TRUE(WIFEXITED(status));

    // One file, named after the hour (two when the test runs across the hour).
    std::vector<std::string> files;
    if (DIR* dir = opendir(root.path().c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string const file = entry->d_name;
            if (file.size() == 17 && file.substr(13) == ".log") files.push_back(file);
        }
        closedir(dir);
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    std::vector<std::string> lines;
    for (std::string const& file : files) {
        std::ifstream in((root.path() + "/" + file).c_str());
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(14));
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{"cwd=/", "error line", "log line", "static goodbye"}));
}

}  // namespace
