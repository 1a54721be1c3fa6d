#include "runtime/loop/child_wait.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <iostream>

#include "runtime/system/signal.h"

int ChildWait::UsageCounter = 0;
std::atomic<ChildWaitService*> ChildWaitService::childWaitService{nullptr};

namespace {

// The raw wait status that waitpid() would give for the child waitid() saw.
int32_t raw_status(siginfo_t const& info) {
    int const value = info.si_status;
    switch (info.si_code) {
        case CLD_EXITED:
            return (value & 0xff) << 8;
        case CLD_KILLED:
            return value & 0x7f;
        case CLD_DUMPED:
            return (value & 0x7f) | 0x80;
        default:
            return value;
    }
}

}  // namespace

// ChildWait.

ChildWait::Init::Init() {
    if (++UsageCounter == 1) Initialize();
}

ChildWait::Init::~Init() {
    if (--UsageCounter == 0) Cleanup();
}

ChildWait::ChildWait() : handler_(::new (storage_) DummyHandler) {}

ChildWait::~ChildWait() {
    handler_->~Handler();
    Detach();
}

void ChildWait::Attach(int pid) {
    pid_ = pid;
    if (ChildWaitService* const service = ChildWaitService::childWaitService) service->Attach(this);
}

void ChildWait::Detach() {
    if (ChildWaitService* const service = ChildWaitService::childWaitService) service->Detach(this);
}

void ChildWait::Initialize() {
    ChildWaitService::childWaitService = new ChildWaitService;
}

void ChildWait::Cleanup() {
    // The signal handler stops using the service before it goes.
    delete ChildWaitService::childWaitService.exchange(nullptr);
}

void ChildWait::Activate() {
    if (ChildWaitService* const service = ChildWaitService::childWaitService) service->Activate();
}

// ChildWaitService.

ChildWaitService::ChildWaitService() = default;

ChildWaitService::~ChildWaitService() {
    Release();
    writer_.close();
    while (ChildWait* const watch = watches_.remove_from_head()) watch->attached_ = false;
}

void ChildWaitService::Activate() {
    if (!writer_.is_valid()) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) {
            std::cerr << "ChildWaitService: initialize fails" << std::endl;
            return;
        }
        writer_ = Fd(pair[0]);
        Fd reader(pair[1]);
        Bind("ChildWaitService::OnChildEvent", &ChildWaitService::OnChildEvent, this);
        reader.NonBlock();
        Schedule(reader, POLLIN);
    }
    IPC::Signal::handle(SIGCHLD, &ChildWaitService::SigChldHandlerWrapper, SA_RESTART);
}

void ChildWaitService::Attach(ChildWait* watch) {
    if (watch->attached_) watches_.remove(watch);
    watches_.push_back(watch);
    watch->attached_ = true;
}

void ChildWaitService::Detach(ChildWait* watch) {
    if (!watch->attached_) return;
    watches_.remove(watch);
    watch->attached_ = false;
}

void ChildWaitService::SigChldHandlerWrapper(int, siginfo_t*, void*) {
    if (ChildWaitService* const service = childWaitService) service->SigChldHandler();
}

void ChildWaitService::SigChldHandler() {
    int const saved_errno = errno;
    reap();
    errno = saved_errno;
}

// Looks at each ended child before reaping it: a child whose record does not
// fit into the pair stays a zombie, and so keeps its exit, until the loop has
// read the pair.
void ChildWaitService::reap() {
    for (;;) {
        siginfo_t info;
        info.si_pid = 0;
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0) return;
        int32_t record[2] = {int32_t(info.si_pid), raw_status(info)};
        if (writer_.is_valid()) {
            iovec parts[2] = {{&record[0], sizeof record[0]}, {&record[1], sizeof record[1]}};
            msghdr message = {};
            message.msg_iov = parts;
            message.msg_iovlen = 2;
            if (::sendmsg(writer_.lowlevel_fd(), &message, MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
                (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
                kept_ = 1;
                return;
            }
        }
        int status;
        ::waitpid(info.si_pid, &status, WNOHANG);
    }
}

void ChildWaitService::OnChildEvent(int fd, short revents) {
    if (!(revents & POLLIN)) return;
    bool reaped_here = false;
    for (;;) {
        int32_t record[2];
        if (::read(fd, record, sizeof record) != ssize_t(sizeof record)) {
            // Once per emptying, so that a pair refusing even one record
            // cannot hold the loop here.
            if (!kept_ || reaped_here) return;
            reaped_here = true;
            // The pair is empty now: reap what did not fit, with SIGCHLD held
            // off so that the handler does not report the same child.
            kept_ = 0;
            sigset_t chld, previous;
            sigemptyset(&chld);
            sigaddset(&chld, SIGCHLD);
            ::sigprocmask(SIG_BLOCK, &chld, &previous);
            reap();
            ::sigprocmask(SIG_SETMASK, &previous, nullptr);
            continue;
        }
        reaped_here = false;
        int const pid = record[0];
        int const status = record[1];
        std::clog << "terminate child process, pid=" << pid << " status=" << status << std::endl;
        for (ChildWait* watch : watches_) {
            if (watch->pid_ != pid) continue;
            Detach(watch);
            watch->handler_->Invoke(*watch, status);
            break;
        }
    }
}
