#include "runtime/loop/child_wait.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "runtime/system/signal.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"

namespace {

using support::StreamCapture;

pid_t spawn_exiting(int code) {
    pid_t const pid = ::fork();
    if (pid == 0) ::_exit(code);
    return pid;
}

pid_t spawn_waiting() {
    pid_t const pid = ::fork();
    if (pid == 0) {
        for (;;) ::pause();
    }
    return pid;
}

// A watched child: counts its notifications and ends the loop once `done`
// reaches `expected`.
struct Watched {
    Watched(int* done, int expected) : done(done), expected(expected) {
        watch.Bind(this, &Watched::OnExit);
    }
    void OnExit(int s) {
        statuses.push_back(s);
        attached_in_callback = watch.is_attached();
        if (then) then(s);
        if (++*done == expected) Multiplexer::terminate();
    }
    ChildWait watch;
    int* done;
    int expected;
    std::vector<int> statuses;
    bool attached_in_callback = true;
    std::function<void(int)> then;
};

class ChildReaping : public ::testing::Test {
protected:
    void SetUp() override { ChildWait::Activate(); }
    void TearDown() override {
        IPC::Signal::system(SIGCHLD);
        ChildWait::Cleanup();  // a fresh service for the next test
        ChildWait::Initialize();
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }
    static ChildWaitService& service() { return *ChildWaitService::childWaitService; }
};

TEST_F(ChildReaping, ReportsTheExitOfEachWatchedChildOnceWithItsRawStatus) {
    int done = 0;
    Watched first(&done, 2), second(&done, 2);
    pid_t const a = spawn_exiting(3);
    first.watch.Attach(a);
    pid_t const b = spawn_waiting();
    second.watch.Attach(b);
    ::kill(b, SIGKILL);

    StreamCapture log(std::clog);
    EXPECT_TRUE(support::runLoop(5000));
    ASSERT_EQ(first.statuses.size(), 1u);
    EXPECT_TRUE(WIFEXITED(first.statuses[0]));
    EXPECT_EQ(WEXITSTATUS(first.statuses[0]), 3);
    ASSERT_EQ(second.statuses.size(), 1u);
    EXPECT_TRUE(WIFSIGNALED(second.statuses[0]));
    EXPECT_EQ(WTERMSIG(second.statuses[0]), SIGKILL);
    EXPECT_FALSE(first.attached_in_callback);
    EXPECT_NE(
        log.text().find("terminate child process, pid=" + std::to_string(a) + " status=768\n"),
        std::string::npos)
        << log.text();
    EXPECT_NE(log.text().find("terminate child process, pid=" + std::to_string(b) + " status=9\n"),
              std::string::npos)
        << log.text();
}

TEST_F(ChildReaping, AChildNobodyWatchesIsOnlyLogged) {
    int done = 0;
    Watched watched(&done, 1);
    pid_t const stray = spawn_exiting(1);
    // The watched child ends after the stray one has surely been reported.
    pid_t const last = spawn_waiting();
    watched.watch.Attach(last);
    StreamCapture log(std::clog);
    std::string const stray_line =
        "terminate child process, pid=" + std::to_string(stray) + " status=256\n";
    Timer poke;
    struct Poker {
        void Check() {
            if (log->text().find(line) != std::string::npos)
                ::kill(last, SIGKILL);
            else
                timer->set(5, &Poker::Check, this);
        }
        StreamCapture* log;
        std::string line;
        pid_t last;
        Timer* timer;
    } poker{&log, stray_line, last, &poke};
    poke.set(5, &Poker::Check, &poker);
    EXPECT_TRUE(support::runLoop(5000));
    EXPECT_EQ(watched.statuses.size(), 1u);
}

TEST_F(ChildReaping, ABurstOfAThousandExitsIsReportedWithoutLoss) {
    int const count = 1000;
    int done = 0;
    std::vector<std::unique_ptr<Watched>> children;
    for (int i = 0; i < count; ++i) {
        children.push_back(std::make_unique<Watched>(&done, count));
        pid_t const pid = spawn_exiting(i & 0x7f);
        ASSERT_GT(pid, 0);
        children.back()->watch.Attach(pid);
    }
    StreamCapture log(std::clog);
    EXPECT_TRUE(support::runLoop(10000));
    EXPECT_EQ(done, count);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(children[i]->statuses.size(), 1u) << "child " << i;
        EXPECT_EQ(WEXITSTATUS(children[i]->statuses[0]), i & 0x7f) << "child " << i;
    }
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);  // nothing left unreaped
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ChildReaping, AWatchAttachedAgainInItsCallbackIsNotifiedForTheNewChild) {
    int done = 0;
    Watched w(&done, 2);
    std::vector<pid_t> pids{spawn_exiting(1)};
    w.then = [&](int) {
        if (pids.size() == 1) {
            pids.push_back(spawn_exiting(2));
            w.watch.Attach(pids.back());
        }
    };
    w.watch.Attach(pids[0]);
    EXPECT_TRUE(support::runLoop(5000));
    ASSERT_EQ(w.statuses.size(), 2u);
    EXPECT_EQ(WEXITSTATUS(w.statuses[0]), 1);
    EXPECT_EQ(WEXITSTATUS(w.statuses[1]), 2);
}

TEST_F(ChildReaping, AttachingAgainKeepsEveryOtherWatchAttached) {
    int done = 0;
    Watched a(&done, 2), b(&done, 2);
    pid_t const pa = spawn_waiting(), pb = spawn_waiting();
    a.watch.Attach(pa);
    b.watch.Attach(pb);
    b.watch.Attach(pb);
    EXPECT_TRUE(a.watch.is_attached());
    EXPECT_TRUE(b.watch.is_attached());
    ::kill(pa, SIGTERM);
    ::kill(pb, SIGTERM);
    EXPECT_TRUE(support::runLoop(5000));
    EXPECT_EQ(a.statuses.size(), 1u);
    EXPECT_EQ(b.statuses.size(), 1u);
}

TEST_F(ChildReaping, DestroyedOrDetachedWatchesAreNeverNotified) {
    int done = 0;
    Watched keeper(&done, 1);
    auto destroyed = std::make_unique<Watched>(&done, 1);
    Watched detached(&done, 1);
    pid_t const p1 = spawn_exiting(1), p2 = spawn_exiting(2);
    destroyed->watch.Attach(p1);
    detached.watch.Attach(p2);
    destroyed.reset();
    detached.watch.Detach();
    detached.watch.Detach();  // not attached: nothing happens
    pid_t const last = spawn_waiting();
    keeper.watch.Attach(last);
    // Let the first two be reported, then end the last one.
    Timer later;
    struct Killer {
        void Kill() { ::kill(pid, SIGKILL); }
        pid_t pid;
    } killer{last};
    later.set(200, &Killer::Kill, &killer);
    StreamCapture log(std::clog);
    EXPECT_TRUE(support::runLoop(5000));
    EXPECT_TRUE(detached.statuses.empty());
    EXPECT_EQ(keeper.statuses.size(), 1u);
}

struct Rebound {
    void First(int) { log += '1'; }
    void Second(int) { log += '2'; }
    void Third(int) {
        log += '3';
        Multiplexer::terminate();
    }
    std::string log;
};

TEST_F(ChildReaping, OnlyTheNewestBindingRuns) {
    Rebound r;
    ChildWait watch;
    watch.Bind(&r, &Rebound::First);
    watch.Bind(&r, &Rebound::Second);
    watch.Bind(&r, &Rebound::Third);
    watch.Attach(spawn_exiting(0));
    EXPECT_TRUE(support::runLoop(5000));
    EXPECT_EQ(r.log, "3");
}

TEST_F(ChildReaping, AReadinessReportWithoutPollinReadsNothing) {
    int done = 0;
    Watched w(&done, 1);
    w.watch.Attach(spawn_exiting(4));
    pollfd entry = {service().lowlevel_fd(), POLLIN, 0};
    int ready;
    do ready = ::poll(&entry, 1, 5000);  // SIGCHLD may interrupt it
    while (ready < 0 && errno == EINTR);
    ASSERT_EQ(ready, 1);  // the record is waiting

    service().OnChildEvent(service().lowlevel_fd(), 0);
    EXPECT_TRUE(w.statuses.empty());
    EXPECT_TRUE(w.watch.is_attached());
    StreamCapture log(std::clog);
    service().OnChildEvent(service().lowlevel_fd(), POLLIN);
    ASSERT_EQ(w.statuses.size(), 1u);
    EXPECT_EQ(WEXITSTATUS(w.statuses[0]), 4);
}

TEST_F(ChildReaping, TheSignalHandlerKeepsErrno) {
    errno = EINTR;
    ChildWaitService::SigChldHandlerWrapper(SIGCHLD, nullptr, nullptr);  // no child: ECHILD inside
    EXPECT_EQ(errno, EINTR);
}

TEST_F(ChildReaping, ASocketPairFailureIsReportedAndNoHandlerInstalled) {
    IPC::Signal::system(SIGCHLD);
    ChildWait::Cleanup();
    ChildWait::Initialize();
    StreamCapture errors(std::cerr);
    rlimit saved;
    ::getrlimit(RLIMIT_NOFILE, &saved);
    int const lowest_free = ::dup(0);
    ::close(lowest_free);
    rlimit one_more = saved;  // room for one descriptor: a pair needs two
    one_more.rlim_cur = rlim_t(lowest_free) + 1;
    ::setrlimit(RLIMIT_NOFILE, &one_more);
    ChildWait::Activate();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(errors.text(), "ChildWaitService: initialize fails\n");
    struct sigaction current;
    ::sigaction(SIGCHLD, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    EXPECT_FALSE(service().IsActive());
}

}  // namespace
