#include "slots/t38_slot.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "hardware/mcc_channel.h"
#include "runtime/log/ext.h"
#include "runtime/system/fd.h"
#include "runtime/system/platform_path.h"

namespace {

using Clock = std::chrono::steady_clock;

// The longest first line of the instance count that is read.
size_t const count_line_max = 31;

// Reads up to the end of the first line, at most count_line_max characters,
// or to the end of the stream; false when the deadline passes first.
bool read_line(int fd, std::string& line, Clock::time_point deadline) {
    while (line.size() < count_line_max) {
        auto const left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd entry{fd, POLLIN, 0};
        int const ready = ::poll(&entry, 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return false;
        if (ready < 0) return true;
        char c;
        ssize_t const got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') return true;
        line += c;
    }
    return true;
}

// Starts the program of args[0] with these arguments and the descriptor
// `from` as its descriptor `to`; the child's pid, or -1 with errno. A
// program that cannot be executed ends with exit code 237.
pid_t spawn(std::vector<std::string> const& args, int from, int to) {
    std::vector<char*> argv;
    for (std::string const& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t const pid = ::fork();
    if (pid != 0) return pid;
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (from == to)
        SetCloexec(to, false);
    else
        ::dup2(from, to);
    ::execv(argv[0], argv.data());
    ::_exit(1005);
}

// Reaps the child, killing it when it is still running at the deadline.
void reap(pid_t pid, Clock::time_point deadline) {
    int status = 0;
    while (Clock::now() < deadline) {
        pid_t const done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return;
        ::usleep(1000);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

// The slot.

T38SoftSlot::T38SoftSlot(int pid, int timeslot) : pid_(pid), timeslot_(timeslot) {
    watch_.Bind(this, &T38SoftSlot::OnT38Terminate);
    watch_.Attach(pid);
}

void T38SoftSlot::PutHeader(std::ostream& os) const { os << *this << ": "; }

void T38SoftSlot::IAfterCreate() {
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}

bool T38SoftSlot::IBeforeDestroy() {
    if (pid_ >= 1) ::kill(pid_, SIGTERM);
    return true;
}

void T38SoftSlot::OnT38Terminate(int status) {
    if ((status & 0x7F) == 0)
        std::clog << ext::header(this) << "t38 daemon terminated with code=" << (status >> 8 & 0xFF)
                  << std::endl;
    else if ((status & 0xFF) != 0x7F)
        std::clog << ext::header(this) << "t38 daemon terminated by signal=" << (status & 0x7F)
                  << std::endl;
    pid_ = -1;
    OnAbort(status);
}

// The factory.

T38SoftFactory& T38SoftFactory::instance() {
    static T38SoftFactory factory;
    return factory;
}

void T38SoftFactory::PutHeader(std::ostream& os) const { os << "t38soft: "; }

Slot* T38SoftFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.t38soft_isSelected()) return nullptr;
    LGCP::T38Soft const& t38 = params.get_t38soft();
    char const fail[] = "T38SoftFactory::INewSlot - ";

    std::string const& dhost = t38.get_dhost().get_iaddr();
    char remote[remote_size];
    int const length =
        std::snprintf(remote, sizeof(remote), "%s/%u/%u", dhost.c_str(),
                      t38.get_dhost().get_port().getValue(), t38.get_shost().get_port().getValue());
    if (length < 0 || unsigned(length) >= sizeof(remote)) {
        std::cerr << ext::header(this) << fail << "remote address " << ext::quoted(dhost.c_str())
                  << " does not fit in " << remote_size - 1 << " characters" << std::endl;
        return nullptr;
    }

    Mcc::ChannelRecord const record = {Mcc::transparent,
                                       uint32_t(t38.get_rx_packet_size().getValue()), 0,
                                       uint32_t(t38.get_rx_threshold().getValue()),
                                       uint32_t(t38.get_tx_threshold().getValue())};
    Mcc::Channel const channel = Mcc::Open(O_RDWR | O_CLOEXEC, record);
    char const* const failure[] = {"", "FAIL to open </dev/mcc/ctl> [",
                                   "FAIL to ioctl MCC_ALLOCATE [", "FAIL to ioctl MCC_TIMESLOT ["};
    if (channel.failed != Mcc::Channel::none) {
        std::cerr << ext::header(this) << fail << failure[channel.failed] << channel.error << "]"
                  << std::endl;
        return nullptr;
    }

    std::vector<std::string> args = {Platform::path(program), "--child", "--remote", remote};
    auto const& extra = t38.get_args();
    for (unsigned i = 0; i < extra.size() && args.size() < max_args - 1; ++i)
        args.push_back(extra[i]);
    if (args.size() - 4 < extra.size())
        std::cerr << ext::header(this) << fail << extra.size() - (args.size() - 4)
                  << " program arguments beyond " << max_args - 5 << " left out" << std::endl;
    std::clog << ext::header(this) << "args for run t38 daemon:" << std::endl;
    for (size_t i = 0; i < args.size(); ++i)
        std::clog << ext::header(this) << "arg[" << i << "]=" << args[i] << std::endl;

    pid_t const pid = spawn(args, channel.fd.lowlevel_fd(), 0);
    if (pid < 0) {
        Errno const error;
        std::cerr << ext::header(this) << fail << "fork fail: " << error << std::endl;
        return nullptr;
    }
    std::clog << ext::header(this) << "t38 daemon[" << pid << "] successfully started" << std::endl;
    // The child keeps the channel open.
    return new T38SoftSlot(pid, channel.timeslot);
}

void T38SoftFactory::Query(LGCP::Resources& resources) {
    resources.set_t38_instances(QueryNumOfInstances());
}

int T38SoftFactory::QueryNumOfInstances() {
    std::string const path = Platform::path(program);
    int ends[2];
    if (::access(path.c_str(), X_OK) != 0 || ::pipe2(ends, O_CLOEXEC) != 0) {
        std::clog << "t38 daemon not found!" << std::endl;
        return 0;
    }
    Fd reader(ends[0]);
    Fd writer(ends[1]);
    // The child is reaped here, not by the loop's child watch.
    sigset_t chld, previous;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &chld, &previous);
    pid_t const pid = spawn({path, "--num-of-instances"}, writer.lowlevel_fd(), 1);
    if (pid < 0) {
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        std::clog << "t38 daemon not found!" << std::endl;
        return 0;
    }
    writer.close();
    auto const deadline = Clock::now() + std::chrono::milliseconds(count_wait_ms);
    std::string line;
    bool const answered = read_line(reader.lowlevel_fd(), line, deadline);
    reader.close();
    reap(pid, answered ? deadline : Clock::now());
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (!answered) {
        std::cerr << "t38: no answer within " << count_wait_ms << " ms, no T38 resources counted"
                  << std::endl;
        return 0;
    }
    if (line.empty()) {
        std::clog << "t38: can't detect T38 resources" << std::endl;
        return 0;
    }
    return std::atoi(line.c_str());
}
