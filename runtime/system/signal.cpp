#include "runtime/system/signal.h"

namespace IPC {
namespace Signal {

Set::Set() {
    sigemptyset(&set_);
}

Set::Set(int a, int b) : Set() {
    add(a);
    add(b);
}

Set::Set(int a, int b, int c) : Set(a, b) {
    add(c);
}

void Set::add(int sig) {
    sigaddset(&set_, sig);
}

bool Set::is_signal(int sig) {
    sigset_t empty;
    sigemptyset(&empty);
    return sigismember(&empty, sig) >= 0;
}

namespace {

int install(int sig, struct sigaction& action, Set const& mask, int flags) {
    mask.copy_to(action.sa_mask);
    action.sa_flags = flags;
    return sigaction(sig, &action, nullptr);
}

int install_plain(int sig, void (*handler)(int), Set const& mask, int flags) {
    struct sigaction action = {};
    action.sa_handler = handler;
    return install(sig, action, mask, flags & ~SA_SIGINFO);
}

// Sets or clears SA_RESTART on the action now installed for sig.
int set_restart(int sig, bool restart) {
    struct sigaction action;
    if (sigaction(sig, nullptr, &action) != 0) return -1;
    if (restart)
        action.sa_flags |= SA_RESTART;
    else
        action.sa_flags &= ~SA_RESTART;
    return sigaction(sig, &action, nullptr);
}

}  // namespace

int ignore(int sig) {
    return install_plain(sig, SIG_IGN, Set(), 0);
}

int system(int sig) {
    return install_plain(sig, SIG_DFL, Set(), 0);
}

int handle(int sig, void (*handler)(int), Set const& mask, int flags) {
    return install_plain(sig, handler, mask, flags);
}

int handle(int sig, void (*handler)(int), int flags) {
    return install_plain(sig, handler, Set(), flags);
}

int handle(int sig, void (*handler)(int, siginfo_t*, void*), Set const& mask, int flags) {
    struct sigaction action = {};
    action.sa_sigaction = handler;
    return install(sig, action, mask, flags | SA_SIGINFO);
}

int handle(int sig, void (*handler)(int, siginfo_t*, void*), int flags) {
    return handle(sig, handler, Set(), flags);
}

int disable_int(int sig) {
    return set_restart(sig, true);
}

int enable_int(int sig) {
    return set_restart(sig, false);
}

}  // namespace Signal
}  // namespace IPC
