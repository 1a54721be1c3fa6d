#include "runtime/loop/dpc.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"

namespace {

using support::EventClient;
using support::Pipe;

Multiplexer& loop() {
    return Multiplexer::instance();
}

struct Work {
    explicit Work(std::string* log, char mark) : log(log), mark(mark) {}
    void Run() {
        *log += mark;
        if (then) then();
    }
    std::string* log;
    char mark;
    std::function<void()> then;
};

TEST(DeferredCalls, ActivatingTwiceRunsOnceAndDeactivatingTwiceIsHarmless) {
    std::string log;
    Work w(&log, 'w');
    Dpc dpc;
    dpc.Bind(&w, &Work::Run);
    dpc.Activate();
    dpc.Activate();
    loop().execute_dpc();
    EXPECT_EQ(log, "w");
    dpc.Deactivate();
    dpc.Deactivate();
    EXPECT_FALSE(dpc.is_active());
    loop().execute_dpc();
    EXPECT_EQ(log, "w");
}

TEST(DeferredCalls, RunInTheOrderOfTheirAddresses) {
    std::string log;
    Work a(&log, 'a'), b(&log, 'b');
    Dpc dpcs[2];  // dpcs[0] lies at the lower address
    dpcs[0].Bind(&a, &Work::Run);
    dpcs[1].Bind(&b, &Work::Run);
    dpcs[1].Activate();
    dpcs[0].Activate();
    loop().execute_dpc();
    EXPECT_EQ(log, "ab");
}

TEST(DeferredCalls, OneDeactivatedOrDestroyedDuringARunDoesNotRunLaterInIt) {
    std::string log;
    Work a(&log, 'a'), b(&log, 'b'), c(&log, 'c');
    std::optional<Dpc> dpcs[3];  // ascending addresses: a, b, c
    for (auto& d : dpcs) d.emplace();
    dpcs[0]->Bind(&a, &Work::Run);
    dpcs[1]->Bind(&b, &Work::Run);
    dpcs[2]->Bind(&c, &Work::Run);
    a.then = [&] {
        dpcs[1]->Deactivate();
        dpcs[2].reset();  // destroyed while active
    };
    for (auto& d : dpcs) d->Activate();
    loop().execute_dpc();
    EXPECT_EQ(log, "a");
    loop().execute_dpc();
    EXPECT_EQ(log, "aa");
}

TEST(DeferredCalls, OneActivatedDuringARunFirstRunsInTheNext) {
    std::string log;
    Work first(&log, '1'), late(&log, 'L');
    Dpc a, b;
    a.Bind(&first, &Work::Run);
    b.Bind(&late, &Work::Run);
    first.then = [&] { b.Activate(); };
    a.Activate();
    loop().execute_dpc();
    EXPECT_EQ(log, "1");
    loop().execute_dpc();
    EXPECT_EQ(log.size(), 3u);  // 1 and L, in address order
    EXPECT_NE(log.find('L'), std::string::npos);
}

TEST(DeferredCalls, OneThatDeactivatesItselfFinishesItsCall) {
    std::string log;
    Work w(&log, 'w');
    Dpc dpc;
    dpc.Bind(&w, &Work::Run);
    w.then = [&] {
        dpc.Deactivate();
        log += '!';
    };
    dpc.Activate();
    loop().execute_dpc();
    loop().execute_dpc();
    EXPECT_EQ(log, "w!");
}

int plain_runs = 0;
void plain() {
    ++plain_runs;
}

struct CountedHandler : DpcHandler {
    explicit CountedHandler(int* deleted) : deleted(deleted) {}
    ~CountedHandler() override { ++*deleted; }
    void Invoke() override {}
    int* deleted;
};

TEST(DeferredCalls, BindingReplacesTheHandlerAndAnUnboundOneDoesNothing) {
    Dpc dpc;
    dpc.Activate();
    loop().execute_dpc();  // unbound: nothing happens

    int deleted = 0;
    dpc.Bind(new CountedHandler(&deleted));
    plain_runs = 0;
    dpc.Bind(&plain);
    EXPECT_EQ(deleted, 1);
    loop().execute_dpc();
    EXPECT_EQ(plain_runs, 1);

    dpc.Deactivate();
    loop().execute_dpc();  // bound but inactive: never runs
    EXPECT_EQ(plain_runs, 1);
}

TEST(DeferredCalls, TheLoopRunsEachActiveCallTwicePerPass) {
    std::string log;
    Work w(&log, 'w');
    Dpc dpc;
    dpc.Bind(&w, &Work::Run);
    dpc.Activate();
    Pipe pipe;
    EventClient stopper;
    stopper.event.Schedule(pipe.reader, POLLIN);
    stopper.step = [&](int, short) {
        log += '|';
        Multiplexer::terminate();
    };
    pipe.put("x");
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(log, "ww|");  // after the timers and before the poll
    EXPECT_EQ(loop().dpc_measure().counter() > 0, true);
}

}  // namespace
