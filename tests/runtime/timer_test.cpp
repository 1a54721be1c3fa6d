#include "runtime/loop/timer.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

#include "runtime/loop/multiplexer.h"
#include "runtime/system/clock.h"
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

// Freezes the loop clock while it lives.
struct FrozenClock {
    FrozenClock() { Mux::mux_settimeofday(); }
    ~FrozenClock() { Mux::mux_clear_snapshot(); }
};

struct Recorder {
    void A() { log += 'A'; }
    void B() { log += 'B'; }
    void C() { log += 'C'; }
    void Stop() {
        log += 'S';
        Multiplexer::terminate();
    }
    std::string log;
};

TEST(Timers, TimersDueAtTheSameTimeFireInArmingOrder) {
    Recorder r;
    Timer a, b, c, stop;
    {
        FrozenClock frozen;
        b.set(20, &Recorder::B, &r);
        c.set(20, &Recorder::C, &r);
        a.set(20, &Recorder::A, &r);
        stop.set(20, &Recorder::Stop, &r);
    }
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(r.log, "BCAS");
    EXPECT_FALSE(a.is_running());
}

TEST(Timers, FireInExpiryOrderWhateverTheArmingOrder) {
    Recorder r;
    Timer a, b, stop;
    stop.set(60, &Recorder::Stop, &r);
    b.set(40, &Recorder::B, &r);
    a.set(20, &Recorder::A, &r);
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(r.log, "ABS");
}

TEST(Timers, ArmingAPendingTimerAgainRunsOnlyTheNewestCallbackOnce) {
    Recorder r;
    Timer t, stop;
    t.set(10, &Recorder::A, &r);
    t.set(30, &Recorder::B, &r);
    EXPECT_EQ(loop().timers_count(), 1u);
    stop.set(80, &Recorder::Stop, &r);
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(r.log, "BS");
}

TEST(Timers, ArmingAgainWithTheSameCallbackMovesItAsANewTimerWouldStand) {
    Recorder r;
    Timer a, b, stop;
    {
        FrozenClock frozen;
        a.set(20, &Recorder::A, &r);
        b.set(20, &Recorder::B, &r);
        stop.set(20, &Recorder::Stop, &r);
        // Re-armed for the same time: behind those armed since, once.
        a.set(20, &Recorder::A, &r);
        EXPECT_EQ(loop().timers_count(), 3u);
    }
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(r.log, "BSA");
    // Re-armed later and then earlier: only the last expiry counts.
    r.log.clear();
    a.set(10, &Recorder::A, &r);
    a.set(300, &Recorder::A, &r);
    a.set(20, &Recorder::A, &r);
    stop.set(60, &Recorder::Stop, &r);
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(r.log, "AS");
}

TEST(Timers, AStopRequestedByATimerEndsTheLoopWithoutWaiting) {
    Pipe pipe;
    EventClient idle;  // something to poll, nothing ever ready
    idle.event.Schedule(pipe.reader, POLLIN);
    Recorder r;
    Timer stop;
    stop.set(10, &Recorder::Stop, &r);
    auto const start = std::chrono::steady_clock::now();
    EXPECT_TRUE(support::runLoop(3000));
    EXPECT_LT(support::elapsedMs(start), 1000);
}

struct Periodic {
    void Tick(Timer* timer) {
        running_inside.push_back(timer->is_running());
        if (++ticks < 3) {
            timer->set(5, &Periodic::Tick, this);
            rearmed_inside.push_back(timer->is_running());
        } else {
            timer->reset();  // nothing pending: nothing to cancel
            Multiplexer::terminate();
        }
    }
    int ticks = 0;
    std::vector<bool> running_inside;
    std::vector<bool> rearmed_inside;
};

TEST(Timers, ACallbackSeesItsTimerIdleAndMayArmItAgain) {
    Periodic p;
    Timer t;
    t.set(5, &Periodic::Tick, &p);
    EXPECT_TRUE(t.is_running());
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(p.ticks, 3);
    EXPECT_EQ(p.running_inside, std::vector<bool>({false, false, false}));
    EXPECT_EQ(p.rearmed_inside, std::vector<bool>({true, true}));
    EXPECT_FALSE(t.is_running());
}

struct SelfDestroying {
    explicit SelfDestroying(bool* gone) : gone(gone) { timer.set(5, &SelfDestroying::Fire, this); }
    ~SelfDestroying() { *gone = true; }
    void Fire() {
        delete this;  // the timer inside goes with it
        Multiplexer::terminate();
    }
    bool* gone;
    Timer timer;
};

TEST(Timers, ACallbackMayDestroyItsOwnObjectAndTimer) {
    bool gone = false;
    new SelfDestroying(&gone);
    EXPECT_TRUE(support::runLoop());
    EXPECT_TRUE(gone);
    EXPECT_EQ(loop().timers_count(), 0u);  // nothing left behind
}

TEST(Timers, DestroyingOrResettingATimerCancelsItsCallback) {
    Recorder r;
    Timer stop;
    {
        Timer destroyed;
        destroyed.set(5, &Recorder::A, &r);
    }
    Timer reset;
    reset.set(5, &Recorder::B, &r);
    reset.reset();
    EXPECT_FALSE(reset.is_running());
    stop.set(30, &Recorder::Stop, &r);
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(r.log, "S");
}

int plain_fires = 0;
void plain_function() {
    ++plain_fires;
    Multiplexer::terminate();
}

TEST(Timers, APlainFunctionCanBeArmed) {
    plain_fires = 0;
    Timer t;
    t.set(5, &plain_function);
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(plain_fires, 1);
    EXPECT_FALSE(t.is_running());
}

struct Statistics {
    static TimerSpec<Statistics>::Spec const TUpdatespec;
    Statistics() { update.set(this); }
    void OnUpdateTimer() {
        update.set(this);  // the period counts from the start of the callback
        if (++updates == 3) Multiplexer::terminate();
    }
    TimerSpec<Statistics>::SpecTimer<TUpdatespec> update;
    int updates = 0;
};
TimerSpec<Statistics>::Spec const Statistics::TUpdatespec = {&Statistics::OnUpdateTimer, 20};

TEST(Timers, ASpecTimerTakesItsMemberAndPeriodFromItsConstant) {
    auto const start = std::chrono::steady_clock::now();
    Statistics s;
    EXPECT_TRUE(support::runLoop());
    EXPECT_EQ(s.updates, 3);
    // Expiry counts whole milliseconds, so each period may end up to 1 ms
    // early on a finer clock.
    EXPECT_GE(support::elapsedMs(start), 57);
    EXPECT_TRUE(s.update.is_running());
}

struct ClockReader {
    void Read() {
        first = Mux::microseconds();
        for (volatile int i = 0; i < 100000; ++i) {
        }
        second = Mux::microseconds();
        Multiplexer::terminate();
    }
    uint32_t first = 0, second = 1;
};

TEST(Timers, TheLoopCanFreezeTheClockForEachPass) {
    ClockReader reader;
    Timer t;
    t.set(5, &ClockReader::Read, &reader);
    EXPECT_TRUE(support::runLoop(3000, false, false));
    EXPECT_EQ(reader.first, reader.second);
    EXPECT_TRUE(Mux::g_tv_time.is_zero());  // no snapshot outlives the loop
}

// The timer step, driven directly on a frozen clock.

struct Chain {
    void First() {
        log += '1';
        second->set(0, &Chain::Second, this);
    }
    void Second() { log += '2'; }
    Timer* second;
    std::string log;
};

TEST(TimerStep, ATimerArmedForNowInsideACallbackFiresInTheSameStep) {
    FrozenClock frozen;
    Timer first, second;
    Chain chain{&second, ""};
    first.set(0, &Chain::First, &chain);
    EXPECT_EQ(loop().timers_schedule(), -1);
    EXPECT_EQ(chain.log, "12");
}

TEST(TimerStep, ReturnsNoWaitWithoutTimersAndZeroForATimerAlreadyDue) {
    FrozenClock frozen;
    EXPECT_EQ(loop().timers_schedule(), -1);

    // A deferred call of the step arms a timer due now: it must not be
    // mistaken for "no timer".
    struct Armer {
        void Run() {
            if (!timer.is_running()) timer.set(0, &Armer::Fired, this);
        }
        void Fired() { ++fired; }
        Timer timer;
        int fired = 0;
    } armer;
    Dpc dpc;
    dpc.Bind(&armer, &Armer::Run);
    dpc.Activate();
    EXPECT_EQ(loop().timers_schedule(), 0);
    EXPECT_EQ(armer.fired, 0);
    dpc.Deactivate();
    EXPECT_EQ(loop().timers_schedule(), -1);
    EXPECT_EQ(armer.fired, 1);
}

TEST(TimerStep, AcceptsWaitsUpToTwoHoursAndReArmsEverythingBeyond) {
    FrozenClock frozen;
    uint32_t const now = Mux::milliseconds();
    Recorder r;
    Timer far, near;
    far.set(7200000, &Recorder::A, &r);
    EXPECT_EQ(loop().timers_schedule(), 7200000);

    far.set(7200001, &Recorder::A, &r);
    near.set(7200002, &Recorder::B, &r);
    StreamCapture errors(std::cerr);
    EXPECT_EQ(loop().timers_schedule(), 1000);
    EXPECT_EQ(errors.text(),
              "******** RUNTIME ERROR CONDITION *************"
              "Multiplexer::timers_schedule() invalid wait time detected!\n"
              "now = " +
                  std::to_string(now) + "\n" +
                  "first = " + std::to_string(uint32_t(now + 7200001)) + "\n" + "count = 2\n");
    EXPECT_TRUE(far.is_running());
    EXPECT_TRUE(near.is_running());
    EXPECT_EQ(loop().timers_schedule(), 1000);  // now within the window, order kept
    EXPECT_EQ(r.log, "");
}

// An event whose expiry is set directly, to place it anywhere on the clock.
struct AtEvent : TimerEvent {
    explicit AtEvent(uint32_t at) { expiry_ = at; }
    void fire() override {}
};

TEST(TimerList, OrdersAcrossAWrapOfTheClock) {
    AtEvent after_wrap(4), before_wrap(0xfffffff0u), just_before(0xfffffffau), same(4);
    loop().set(&after_wrap);
    loop().set(&before_wrap);
    loop().set(&same);
    loop().set(&just_before);
    ASSERT_EQ(before_wrap.get_next(), &just_before);
    ASSERT_EQ(just_before.get_next(), &after_wrap);
    ASSERT_EQ(after_wrap.get_next(), &same);  // equal expiry: arming order
    EXPECT_EQ(same.get_next(), nullptr);
    EXPECT_GT(after_wrap.compare(&just_before), 0);
    EXPECT_LT(before_wrap.compare(&after_wrap), 0);

    loop().set(&before_wrap);  // re-scheduling moves, never duplicates
    EXPECT_EQ(loop().timers_count(), 4u);
    before_wrap.reset();
    just_before.reset();
    EXPECT_EQ(loop().timers_count(), 2u);
}  // the remaining ones leave the list as they are destroyed

// Plug-ins.

struct Plugin : TimerPoolPlugin {
    explicit Plugin(int wait) : wait(wait) {}
    int timerPoll() override {
        ++asked;
        if (on_ask) on_ask();
        return wait;
    }
    int wait;
    int asked = 0;
    std::function<void()> on_ask;
};

TEST(TimerPlugins, TheSmallestWaitWinsAndNegativeAsksForNone) {
    Plugin slow(250), none(-1), fast(40);
    EXPECT_EQ(loop().timerPoll_schedule(), Multiplexer::no_plugin_wait);
    slow.timerHook();
    none.timerHook();
    EXPECT_EQ(loop().timerPoll_schedule(), 250);
    fast.timerHook();
    fast.timerHook();  // hooked once
    EXPECT_EQ(loop().timerPoll_schedule(), 40);
    EXPECT_EQ(fast.asked, 1);
    fast.wait = 0;  // needs a pass at once
    EXPECT_EQ(loop().timerPoll_schedule(), 0);
}

TEST(TimerPlugins, APluginUnhookedDuringTheStepIsNotAskedInIt) {
    Plugin first(100), second(50);
    first.timerHook();
    second.timerHook();
    first.on_ask = [&] { second.timerUnhook(); };
    EXPECT_EQ(loop().timerPoll_schedule(), 100);
    EXPECT_EQ(second.asked, 0);
    EXPECT_FALSE(second.is_hooked());
    first.on_ask = nullptr;
    EXPECT_EQ(loop().timerPoll_schedule(), 100);
}

TEST(TimerPlugins, APluginWaitBoundsThePoll) {
    Pipe pipe;
    EventClient idle;
    idle.event.Schedule(pipe.reader, POLLIN);
    Plugin plugin(30);
    plugin.on_ask = [&] {
        if (plugin.asked == 4) Multiplexer::terminate();
    };
    plugin.timerHook();
    auto const start = std::chrono::steady_clock::now();
    EXPECT_TRUE(support::runLoop(3000));
    EXPECT_GE(support::elapsedMs(start), 90);  // three polls of 30 ms
    EXPECT_LT(support::elapsedMs(start), 1500);
}

TEST(TimerPlugins, APluginAskingForAPassAtOnceIsNotIgnored) {
    Pipe pipe;
    EventClient idle;
    idle.event.Schedule(pipe.reader, POLLIN);
    Plugin now(0), later(-1);
    now.on_ask = [&] {
        if (now.asked == 20) Multiplexer::terminate();
    };
    now.timerHook();
    later.timerHook();
    EXPECT_TRUE(support::runLoop(3000));  // twenty passes long before the bound
}

// A timer armed by a deferred call right before the poll is not left waiting
// for unrelated activity.
TEST(TimerPlugins, ATimerArmedJustBeforeThePollShortensIt) {
    Pipe pipe;
    EventClient idle;
    idle.event.Schedule(pipe.reader, POLLIN);
    struct Armer {
        void Run() {
            if (++runs == 2) timer.set(0, &Armer::Fired, this);  // the run before the poll
        }
        void Fired() { Multiplexer::terminate(); }
        int runs = 0;
        Timer timer;
    } armer;
    Dpc dpc;
    dpc.Bind(&armer, &Armer::Run);
    dpc.Activate();
    auto const start = std::chrono::steady_clock::now();
    EXPECT_TRUE(support::runLoop(3000));
    EXPECT_LT(support::elapsedMs(start), 1000);
}

}  // namespace
