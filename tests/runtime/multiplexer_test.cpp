#include "runtime/loop/multiplexer.h"

#include <sys/resource.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <regex>

#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"

namespace {

using support::EventClient;
using support::Pipe;
using support::StreamCapture;

Multiplexer& loop() {
    return Multiplexer::instance();
}

TEST(MultiplexerDispatch, ServesEveryHandlerWhenAnyDescriptorIsReady) {
    Pipe pipes[5];
    EventClient clients[5];
    for (int i = 0; i < 5; ++i) clients[i].event.Schedule(pipes[i].reader, POLLIN);
    clients[4].step = [](int, short) { Multiplexer::terminate(); };
    pipes[2].put("x");

    StreamCapture log(std::clog);
    EXPECT_TRUE(support::runLoop());

    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(clients[i].calls.size(), 1u) << "handler " << i;
        EXPECT_EQ(clients[i].calls[0].fd, clients[i].event.lowlevel_fd());
        EXPECT_EQ(clients[i].calls[0].revents, i == 2 ? POLLIN : 0) << "handler " << i;
        EXPECT_EQ(clients[i].event.count(), i == 2 ? 1u : 0u) << "handler " << i;
    }
    EXPECT_EQ(log.text(), "Mux: terminating...\n");
}

TEST(MultiplexerDispatch, CountsOnlyEventsThatMeetThePollMask) {
    Pipe pipe;
    EventClient client;
    client.event.Schedule(pipe.writer, POLLIN);  // a writable pipe end never reads
    Pipe other;
    EventClient trigger;
    trigger.event.Schedule(other.reader, POLLIN);
    trigger.step = [](int, short) { Multiplexer::terminate(); };
    other.put("x");
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(client.event.count(), 0u);

    client.event.SetEvents(POLLOUT);  // holds from the next poll on
    other.put("x");
    EXPECT_TRUE(support::runLoop());
    ASSERT_EQ(client.calls.size(), 2u);
    EXPECT_EQ(client.calls[1].revents, POLLOUT);
    EXPECT_EQ(client.event.count(), 1u);
}

TEST(MultiplexerDispatch, ServesNoHandlerWhenThePollTimesOut) {
    Pipe pipe;
    EventClient idle;
    idle.event.Schedule(pipe.reader, POLLIN);
    EXPECT_FALSE(support::runLoop(50));  // only the bound ends it
    EXPECT_TRUE(idle.calls.empty());
}

TEST(MultiplexerDispatch, AHandlerMayDetachItselfAndIsNotServedAgain) {
    Pipe pipe;
    EventClient self, stopper;
    self.event.Schedule(pipe.reader, POLLIN);
    stopper.event.Schedule(pipe.reader, POLLIN);
    self.step = [&](int, short) { self.event.Release(); };
    int passes = 0;
    stopper.step = [&](int, short) {
        if (++passes == 3) Multiplexer::terminate();
    };
    pipe.put("x");  // stays unread: every poll reports it
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(self.calls.size(), 1u);
    EXPECT_EQ(stopper.calls.size(), 3u);
    EXPECT_FALSE(loop().event_exists(&self.event));
}

TEST(MultiplexerDispatch, AHandlerAttachedInACallbackIsFirstServedInTheNextPass) {
    Pipe pipe;
    EventClient first, late;
    std::string order;
    first.event.Schedule(pipe.reader, POLLIN);
    first.step = [&](int, short) {
        order += 'F';
        if (first.calls.size() == 1) late.event.Schedule(pipe.reader, POLLIN);
        if (first.calls.size() == 3) Multiplexer::terminate();
    };
    late.step = [&](int, short) { order += 'L'; };
    pipe.put("x");
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(order, "FFLF");
}

TEST(MultiplexerDispatch, AHandlerMayDestroyItselfAndAHandlerNotYetServed) {
    Pipe pipe;
    auto killer = std::make_unique<EventClient>();
    auto victim = std::make_unique<EventClient>();
    EventClient witness;
    killer->event.Schedule(pipe.reader, POLLIN);
    victim->event.Schedule(pipe.reader, POLLIN);
    witness.event.Schedule(pipe.reader, POLLIN);
    bool victim_served = false;
    victim->step = [&](int, short) { victim_served = true; };
    killer->step = [&](int, short) {
        victim.reset();
        killer.reset();  // destroys the running callback's own event
    };
    witness.step = [](int, short) { Multiplexer::terminate(); };
    pipe.put("x");
    EXPECT_TRUE(support::runLoop());
    EXPECT_FALSE(victim_served);
    EXPECT_EQ(witness.calls.size(), 1u);
}

TEST(MultiplexerDispatch, ATerminateInACallbackLeavesTheUnservedHandlersRegistered) {
    Pipe pipe;
    EventClient clients[3];
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) {
        clients[i].event.Schedule(pipe.reader, POLLIN);
        clients[i].step = [&order, i](int, short) { order.push_back(i); };
    }
    clients[0].step = [&order](int, short) {
        order.push_back(0);
        Multiplexer::terminate();
    };
    pipe.put("x");
    StreamCapture log(std::clog);
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(order, std::vector<int>({0}));
    EXPECT_EQ(log.text(), "Mux: terminating...\n");
    for (auto& client : clients) EXPECT_TRUE(loop().event_exists(&client.event));

    // Run again: every handler is still polled and served, in the same order.
    order.clear();
    clients[0].step = [&order](int, short) { order.push_back(0); };
    clients[2].step = [&order](int, short) {
        order.push_back(2);
        Multiplexer::terminate();
    };
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(order, std::vector<int>({0, 1, 2}));
}

TEST(MultiplexerDispatch, AStopRequestedBeforeRunIsForgotten) {
    Multiplexer::terminate();
    Pipe pipe;
    EventClient idle;
    idle.event.Schedule(pipe.reader, POLLIN);
    EXPECT_FALSE(support::runLoop(30));  // ran until its bound
}

TEST(MultiplexerDispatch, AHandlerDetachedBeforeThePollGivesNobodyItsResult) {
    Pipe quiet_a, ready_b, quiet_c;
    EventClient a, b, c;
    a.event.Schedule(quiet_a.reader, POLLIN);
    b.event.Schedule(ready_b.reader, POLLIN);
    c.event.Schedule(quiet_c.reader, POLLIN);
    c.step = [](int, short) { Multiplexer::terminate(); };
    ready_b.put("x");

    // The second run of the deferred calls comes after the poll set is built.
    struct Detacher {
        void Run() {
            if (++runs == 2) a->event.Release();
        }
        EventClient* a;
        int runs = 0;
    } detacher{&a};
    Dpc dpc;
    dpc.Bind(&detacher, &Detacher::Run);
    dpc.Activate();

    EXPECT_TRUE(support::runLoop());
    EXPECT_TRUE(a.calls.empty());
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_EQ(b.calls[0].revents, POLLIN);
    ASSERT_EQ(c.calls.size(), 1u);
    EXPECT_EQ(c.calls[0].revents, 0);
}

TEST(MultiplexerRegistration, AttachingTwiceKeepsOneRegistrationAndSaysSo) {
    Pipe pipe;
    EventClient client("Twice::OnEvent");
    client.event.Schedule(pipe.reader, POLLIN);

    StreamCapture errors(std::cerr);
    client.event.mux_attach();  // already attached: silent
    EXPECT_EQ(errors.text(), "");
    loop().attach(&client.event);
    EXPECT_EQ(errors.text(), "duplicate multiplexer attach \"Twice::OnEvent\" ignored.\n");

    client.event.Release();
    EXPECT_FALSE(loop().event_exists(&client.event));
    loop().detach(&client.event);
    EXPECT_EQ(errors.text(),
              "duplicate multiplexer attach \"Twice::OnEvent\" ignored.\n"
              "indvalid Multiplexer::detach Twice::OnEvent\n");
}

TEST(MultiplexerRegistration, AnEventIsRegisteredExactlyWhileItHoldsAValidDescriptor) {
    Pipe pipe;
    EventClient client;
    client.event.Schedule(Fd(), POLLIN);
    EXPECT_FALSE(client.event.IsActive());
    EXPECT_FALSE(loop().event_exists(&client.event));

    client.event.Schedule(pipe.reader, POLLIN);
    EXPECT_TRUE(client.event.IsActive());
    EXPECT_NE(client.event.lowlevel_fd(), pipe.reader.lowlevel_fd());  // its own duplicate
    EXPECT_TRUE(loop().event_exists(&client.event));

    client.event.Schedule(pipe.writer, POLLOUT);  // moves to the other descriptor
    EXPECT_TRUE(loop().event_exists(&client.event));
    EXPECT_EQ(client.event.events(), POLLOUT);

    EXPECT_EQ(client.event.Release(), 0);
    EXPECT_FALSE(loop().event_exists(&client.event));
    errno = 0;
    EXPECT_EQ(client.event.Release(), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(MultiplexerRegistration, DestroyingARegisteredHandlerUnregistersIt) {
    struct Bare : EventHandler {
        void shedule_event(pollfd& entry) override { entry.fd = -1; }
        void svc_event(short) override {}
    };
    auto bare = std::make_unique<Bare>();
    bare->mux_attach();
    EXPECT_TRUE(loop().event_exists(bare.get()));
    bare.reset();  // the loop must not keep a dangling handler
    Pipe pipe;
    EventClient stopper;
    stopper.event.Schedule(pipe.reader, POLLIN);
    stopper.step = [](int, short) { Multiplexer::terminate(); };
    pipe.put("x");
    EXPECT_TRUE(support::runLoop());
}

TEST(EventBinding, RebindingReplacesHandlerAndNameButKeepsDescriptorAndMask) {
    struct Other {
        void OnEvent(int, short) { ++calls; }
        int calls = 0;
    } other;
    Pipe pipe;
    EventClient client("First");
    client.event.Schedule(pipe.reader, POLLIN);
    int const fd = client.event.lowlevel_fd();
    client.event.Bind("Second", &Other::OnEvent, &other);
    EXPECT_EQ(client.event.name(), "Second");
    EXPECT_EQ(client.event.lowlevel_fd(), fd);
    EXPECT_EQ(client.event.events(), POLLIN);

    client.event.svc_event(POLLIN);
    EXPECT_EQ(other.calls, 1);
    EXPECT_TRUE(client.calls.empty());

    client.event.Bind("Null", static_cast<void (Other::*)(int, short)>(nullptr), &other);
    client.event.svc_event(POLLIN);  // a null action does nothing
    EXPECT_EQ(other.calls, 1);
    client.event.UnBind();
    EXPECT_FALSE(client.event.is_bound());
    client.event.svc_event(POLLIN);  // unbound: only counts
    EXPECT_EQ(client.event.count(), 3u);
}

TEST(PollEventText, NamesTheSetBitsInOrder) {
    EXPECT_EQ(PollEventAsText(0), "");
    EXPECT_EQ(PollEventAsText(POLLIN | POLLPRI), "POLLIN|POLLPRI");
    EXPECT_EQ(PollEventAsText(POLLHUP | POLLIN | POLLERR), "POLLIN|POLLERR|POLLHUP");
    EXPECT_EQ(PollEventAsText(short(0x7ff)),
              "POLLIN|POLLPRI|POLLOUT|POLLERR|POLLHUP|POLLNVAL|POLLRDNORM|POLLRDBAND|"
              "POLLWRNORM|POLLWRBAND|POLLMSG");
    EXPECT_EQ(PollEventAsText(short(0x1800)), "");
}

TEST(MultiplexerDump, ListsTheMeasurementsAndEveryPolledEvent) {
    Pipe pipe;
    EventClient client("Dump::OnEvent");
    client.event.Schedule(pipe.reader, POLLIN);
    client.step = [](int, short) { Multiplexer::terminate(); };
    pipe.put("x");
    EXPECT_TRUE(support::runLoop());
    Pipe later_pipe;
    EventClient later("NotYetPolled");  // still in the new list: not listed
    later.event.Schedule(later_pipe.reader, POLLIN);

    std::ostringstream out;
    loop().dump(out);
    std::string const text = out.str();

    std::regex const head(
        "dpc transition measurement \\(min/max/cur/counter\\): min=\\d+ max=\\d+ avg=\\d+ "
        "counter=\\d+\n"
        "event transition measurement \\(min/max/cur/counter\\): min=\\d+ max=\\d+ avg=\\d+ "
        "counter=[1-9]\\d*\n"
        "timer transition measurement \\(min/max/cur/counter\\): min=\\d+ max=\\d+ avg=\\d+ "
        "counter=\\d+\n"
        "(\\[.*\\]: .*\n)*");
    auto const table_at = text.find("+---");
    ASSERT_NE(table_at, std::string::npos);
    EXPECT_TRUE(std::regex_match(text.substr(0, table_at), head)) << text;

    std::string const border = "+" + std::string(40, '-') + "+" + std::string(30, '-') + "+" +
                               std::string(10, '-') + "+" + std::string(10, '-') + "+" +
                               std::string(5, '-') + "+" + std::string(60, '-') + "+\n";
    std::string const header =
        "|                  name                  |            events            |  count   "
        "| handler  | fd  |                          measure                           |\n";
    std::string const table = text.substr(table_at);
    ASSERT_EQ(table.substr(0, border.size() + header.size() + border.size()),
              border + header + border);
    std::string const rows = table.substr(2 * border.size() + header.size());
    std::regex const row(
        "\\|             Dump::OnEvent              \\|            POLLIN            \\|    1     "
        "\\| attached \\| *\\d+ *\\|                min=0 max=0 avg=0 counter=0                 "
        "\\|\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(rows, match, row)) << rows;
    EXPECT_EQ(rows.find("NotYetPolled"), std::string::npos);
    EXPECT_EQ(rows.substr(rows.size() - border.size() - 1), border + "\n");
}

TEST(MultiplexerSignals, ASignalDuringPollEndsThePassAndItsStopEndsTheLoop) {
    Pipe pipe;
    EventClient idle;
    idle.event.Schedule(pipe.reader, POLLIN);
    struct sigaction action = {};
    action.sa_handler = [](int) { Multiplexer::terminate(); };
    sigaction(SIGALRM, &action, nullptr);  // no SA_RESTART: poll fails with EINTR
    itimerval in_100ms = {{0, 0}, {0, 100000}};
    setitimer(ITIMER_REAL, &in_100ms, nullptr);

    auto const start = std::chrono::steady_clock::now();
    EXPECT_TRUE(support::runLoop(5000));
    EXPECT_LT(support::elapsedMs(start), 2000);
    EXPECT_TRUE(idle.calls.empty());
    signal(SIGALRM, SIG_DFL);
}

TEST(MultiplexerDeathTest, AbortsWhenNothingCanEverHappen) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(loop().run(false, true), "multiplexer: system hang detected!!!");
}

// Four handlers but at most two descriptors allowed: poll fails with EINVAL.
void run_with_a_poll_set_above_the_descriptor_limit() {
    Pipe pipes[4];
    EventClient clients[4];
    for (int i = 0; i < 4; ++i) clients[i].event.Schedule(pipes[i].reader, POLLIN);
    rlimit const few = {2, 2};
    setrlimit(RLIMIT_NOFILE, &few);
    loop().run(false, true);
}

TEST(MultiplexerDeathTest, AbortsWhenPollFails) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(run_with_a_poll_set_above_the_descriptor_limit(),
                 "multiplexer poll failed: Invalid argument");
}

}  // namespace
