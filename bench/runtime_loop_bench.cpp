// Cost of the main loop: one pass over 1, 64 and 1024 registered descriptors
// (one of them ready, so that every handler is served), the same pass with
// the TDM switch open on the simulated board (its refresh re-disables 256
// bus outputs a pass) with the heap allocations a pass makes, and arming,
// firing and cancelling timers.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "hardware/hw_mux.h"
#include "runtime/loop/multiplexer.h"

// Every heap allocation of the program, counted.
static long allocations = 0;

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

struct Handler {
    Handler() { event.Bind("Bench::OnEvent", &Handler::OnEvent, this); }
    void OnEvent(int, short revents) {
        if (revents && stop_after && --*stop_after == 0) Multiplexer::terminate();
    }
    Event event;
    int* stop_after = nullptr;
};

// The loop runs `passes` passes: the ready handler counts them down.
void LoopPass(benchmark::State& state, int handlers) {
    rlimit limit;  // every handler holds its own descriptor
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        state.SkipWithError("pipe");
        return;
    }
    Fd reader(fds[0]), writer(fds[1]);
    ssize_t const put = ::write(writer.lowlevel_fd(), "x", 1);  // stays unread: always ready
    (void)put;

    std::vector<std::unique_ptr<Handler>> all;
    int remaining = 0;
    for (int i = 0; i < handlers; ++i) {
        all.push_back(std::make_unique<Handler>());
        all.back()->event.Schedule(i == 0 ? reader : writer, i == 0 ? POLLIN : POLLPRI);
    }
    all.front()->stop_after = &remaining;
    for (auto const& h : all) {
        if (!h->event.IsActive()) {
            state.SkipWithError("out of descriptors");
            return;
        }
    }

    int const passes = 100;
    std::streambuf* const saved = std::clog.rdbuf(nullptr);  // "Mux: terminating..."
    long const allocations_before = allocations;
    for (auto _ : state) {
        remaining = passes;
        Multiplexer::instance().run(false, true);
    }
    long const allocated = allocations - allocations_before;
    std::clog.rdbuf(saved);
    std::clog.clear();
    state.SetItemsProcessed(state.iterations() * passes);
    state.counters["pass_ns"] =
        benchmark::Counter(double(state.iterations() * passes),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocs_per_pass"] = double(allocated) / double(state.iterations() * passes);
}

void BM_LoopPass(benchmark::State& state) { LoopPass(state, int(state.range(0))); }
BENCHMARK(BM_LoopPass)->Arg(1)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_LoopPassWithSwitchOpen(benchmark::State& state) {
    static std::string root;
    if (root.empty()) {
        char dir[] = "/tmp/mobrel-bench-XXXXXX";
        root = ::mkdtemp(dir);
        ::setenv("MOBREL_ROOT", root.c_str(), 1);
        std::atexit([] {
            int const rc = std::system(("rm -rf '" + root + "'").c_str());
            (void)rc;
        });
    }
    std::streambuf* const saved = std::clog.rdbuf(nullptr);  // "hwMux: init"
    bool const open = HwMux::instance().IsOpened();
    std::clog.rdbuf(saved);
    std::clog.clear();
    if (!open) {
        state.SkipWithError("the switch did not open");
        return;
    }
    LoopPass(state, 1);
}
BENCHMARK(BM_LoopPassWithSwitchOpen)->Unit(benchmark::kMicrosecond);

struct Client {
    void Fire() { ++fired; }
    long fired = 0;
};

// Arms n timers at spread expiries and cancels them all.
void BM_TimerArmAndCancel(benchmark::State& state) {
    int const n = int(state.range(0));
    std::vector<Timer> timers(n);
    Client client;
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) timers[i].set(1000 + unsigned(i % 97), &Client::Fire, &client);
        for (auto& t : timers) t.reset();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TimerArmAndCancel)->Arg(1)->Arg(64)->Arg(1024);

// Arms n timers due at once and fires them through the timer step.
void BM_TimerArmAndFire(benchmark::State& state) {
    int const n = int(state.range(0));
    std::vector<Timer> timers(n);
    Client client;
    for (auto _ : state) {
        for (auto& t : timers) t.set(0, &Client::Fire, &client);
        Multiplexer::instance().timers_schedule();
    }
    benchmark::DoNotOptimize(client.fired);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TimerArmAndFire)->Arg(1)->Arg(64)->Arg(1024);

}  // namespace
