#pragma once
// Installation of signal handlers. The program entry installs its stop,
// dump-status and update-resources handlers through these functions, and the
// child-reaping service its SIGCHLD handler; each returns what sigaction()
// returned (0 or -1).

#include <signal.h>

namespace IPC {
namespace Signal {

// A set of signals, used as the mask blocked while a handler runs.
class Set {
public:
    Set();
    Set(int a, int b);
    Set(int a, int b, int c);

    void add(int sig);
    void copy_to(sigset_t& out) const { out = set_; }

    // True when sig is a signal number of this system.
    static bool is_signal(int sig);

private:
    sigset_t set_;
};

int ignore(int sig);
int system(int sig);

// The plain forms never carry SA_SIGINFO, the siginfo forms always do.
int handle(int sig, void (*handler)(int), Set const& mask, int flags);
int handle(int sig, void (*handler)(int), int flags);
int handle(int sig, void (*handler)(int, siginfo_t*, void*), Set const& mask, int flags);
int handle(int sig, void (*handler)(int, siginfo_t*, void*), int flags);

// Whether system calls interrupted by sig are restarted (disable_int) or
// fail with EINTR (enable_int).
int disable_int(int sig);
int enable_int(int sig);

}  // namespace Signal
}  // namespace IPC
