#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

#include "runtime/system/console.h"
#include "runtime/system/pid_file.h"
#include "runtime/system/process.h"
#include "runtime/system/signal.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"

namespace {

using support::TempRoot;

struct sigaction installed(int sig) {
    struct sigaction current;
    sigaction(sig, nullptr, &current);
    return current;
}

void plain_handler(int) {}
void info_handler(int, siginfo_t*, void*) {}

// Restores SIGUSR1 to its default when the test ends.
struct Usr1Guard {
    ~Usr1Guard() { IPC::Signal::system(SIGUSR1); }
};

TEST(Signals, PlainHandlersNeverCarrySiginfoAndSiginfoHandlersAlways) {
    Usr1Guard guard;
    ASSERT_EQ(IPC::Signal::handle(SIGUSR1, &plain_handler, SA_SIGINFO | SA_RESTART), 0);
    EXPECT_EQ(installed(SIGUSR1).sa_flags & SA_SIGINFO, 0);
    EXPECT_NE(installed(SIGUSR1).sa_flags & SA_RESTART, 0);
    EXPECT_EQ(installed(SIGUSR1).sa_handler, &plain_handler);

    ASSERT_EQ(IPC::Signal::handle(SIGUSR1, &info_handler, 0), 0);
    EXPECT_NE(installed(SIGUSR1).sa_flags & SA_SIGINFO, 0);
    EXPECT_EQ(installed(SIGUSR1).sa_sigaction, &info_handler);
}

TEST(Signals, InstallTheGivenMask) {
    Usr1Guard guard;
    ASSERT_EQ(IPC::Signal::handle(SIGUSR1, &plain_handler, IPC::Signal::Set(SIGHUP, SIGUSR2), 0),
              0);
    sigset_t const mask = installed(SIGUSR1).sa_mask;
    EXPECT_EQ(sigismember(&mask, SIGHUP), 1);
    EXPECT_EQ(sigismember(&mask, SIGUSR2), 1);
    EXPECT_EQ(sigismember(&mask, SIGTERM), 0);

    IPC::Signal::Set three(SIGHUP, SIGUSR2, SIGTERM);
    three.add(SIGINT);
    sigset_t out;
    three.copy_to(out);
    EXPECT_EQ(sigismember(&out, SIGINT), 1);
    EXPECT_EQ(sigismember(&out, SIGTERM), 1);
    EXPECT_EQ(sigismember(&out, SIGQUIT), 0);
}

TEST(Signals, IgnoreDefaultAndRestartSwitches) {
    Usr1Guard guard;
    IPC::Signal::ignore(SIGUSR1);
    EXPECT_EQ(installed(SIGUSR1).sa_handler, SIG_IGN);
    IPC::Signal::handle(SIGUSR1, &plain_handler, 0);
    IPC::Signal::disable_int(SIGUSR1);
    EXPECT_NE(installed(SIGUSR1).sa_flags & SA_RESTART, 0);
    IPC::Signal::enable_int(SIGUSR1);
    EXPECT_EQ(installed(SIGUSR1).sa_flags & SA_RESTART, 0);
    EXPECT_EQ(installed(SIGUSR1).sa_handler, &plain_handler);
    IPC::Signal::system(SIGUSR1);
    EXPECT_EQ(installed(SIGUSR1).sa_handler, SIG_DFL);
}

TEST(Signals, KnowsWhichNumbersAreSignals) {
    EXPECT_TRUE(IPC::Signal::Set::is_signal(SIGTERM));
    EXPECT_TRUE(IPC::Signal::Set::is_signal(SIGRTMAX));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(0));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(1000));
}

TEST(PidFile, HoldsOnlyTheDigitsOfThePidAndIsRemovedAtTheEnd) {
    TempRoot root;
    std::string const path = root.mkdirs("var/run") + "/server.pid";
    {
        Linux::Run run("server");
        EXPECT_EQ(run.path(), path);
        EXPECT_TRUE(run.is_open());
        EXPECT_EQ(support::readFile(path), std::to_string(::getpid()));
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        mode_t const umask_now = ::umask(0);
        ::umask(umask_now);
        EXPECT_EQ(st.st_mode & 0777, 0644u & ~umask_now);
    }
    EXPECT_FALSE(support::fileExists(path));
}

TEST(PidFile, AnUnwritableLocationIsSilentlyLeftAlone) {
    TempRoot root;  // no var/run below it
    {
        Linux::Run run("server");
        EXPECT_FALSE(run.is_open());
    }
    EXPECT_FALSE(support::fileExists(root.path() + "/var/run/server.pid"));
}

void write_stat(TempRoot const& root, int pid, std::string const& line) {
    std::string const dir = root.mkdirs("proc/" + std::to_string(pid));
    std::ofstream(dir + "/stat") << line;
}

TEST(ProcessLookup, FindsAProcessByItsWholeCommandName) {
    TempRoot root;
    write_stat(root, 12, "12 (bash) S 1 12 12 0 -1 4194560");
    write_stat(root, 345, "345 (controller) S 1 345 345 0 -1");
    write_stat(root, 678, "678 (odd (name) x) R 1 678");
    root.mkdirs("proc/self");
    std::ofstream(root.path() + "/proc/cpuinfo") << "processor : 0\n";

    EXPECT_EQ(find_proc_by_name("controller", 0), 345);
    EXPECT_EQ(find_proc_by_name("odd (name) x", -1), 678);
    EXPECT_EQ(find_proc_by_name("control", 0), -1);  // exact names only
    EXPECT_EQ(find_proc_by_name("Controller", 0), -1);
}

TEST(ProcessLookup, TriesTheHintFirstAndScansWhenItIsStale) {
    TempRoot root;
    write_stat(root, 345, "345 (controller) S 1");
    write_stat(root, 901, "901 (controller) S 1");
    EXPECT_EQ(find_proc_by_name("controller", 901), 901);  // whichever the scan would meet first
    EXPECT_EQ(find_proc_by_name("controller", 345), 345);
    write_stat(root, 77, "77 (bash) S 1");
    int const found = find_proc_by_name("controller", 77);  // stale: now another program
    EXPECT_TRUE(found == 345 || found == 901) << found;
    EXPECT_EQ(find_proc_by_name("controller", 5555), found);  // gone: scans
    EXPECT_EQ(find_proc_by_name("sshd", 345), -1);
}

TEST(ProcessLookup, WithoutProcFindsNothing) {
    TempRoot root;
    EXPECT_EQ(find_proc_by_name("controller", 1), -1);
}

TEST(ConsoleModes, ReportWhatStandardInputCannotDo) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    Fd reader(fds[0]), writer(fds[1]);
    Fd saved_stdin(::dup(STDIN_FILENO));
    ::dup2(reader.lowlevel_fd(), STDIN_FILENO);  // a pipe, not a terminal

    support::StreamCapture errors(std::cerr);
    Console::SwitchToBinaryMode();
    Console::SwitchToNonBlockMode();  // a pipe can be non-blocking
    int const flags = ::fcntl(STDIN_FILENO, F_GETFL);
    ::dup2(saved_stdin.lowlevel_fd(), STDIN_FILENO);
    EXPECT_EQ(errors.text(), "can't obtain terminal attributes\n");
    EXPECT_NE(flags & O_NONBLOCK, 0);
}

TEST(Timestamp, WritesDayMonthAndTime) {
    std::ostringstream out;
    timestamp(out) << '|';
    EXPECT_TRUE(std::regex_match(out.str(), std::regex("\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\|")))
        << out.str();
}

}  // namespace
