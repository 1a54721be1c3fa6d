// Costs of the packet path: taking and releasing a pooled buffer, writing and
// reading typical headers, and a packet sent down and received up through a
// stack of three layers.

#include <benchmark/benchmark.h>

#include "runtime/containers/packet.h"
#include "runtime/protocol/protocols_list.h"

namespace {

void PacketTakeAndRelease(benchmark::State& state) {
    for (auto _ : state) {
        Packet p;
        p.reserve_head(4);
        benchmark::DoNotOptimize(p.data());
    }
}
BENCHMARK(PacketTakeAndRelease);

void PacketCopyOnWrite(benchmark::State& state) {
    Packet original;
    original.reserve_head(4);
    original.put(static_cast<unsigned>(state.range(0)));
    for (auto _ : state) {
        Packet copy = original;
        copy.push8(1);  // the shared buffer is copied here
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(PacketCopyOnWrite)->Arg(32)->Arg(260)->Arg(1500);

// A TPKT header in front of a LAPD address and control field, then taken off.
void PacketPutAndPullHeaders(benchmark::State& state) {
    Packet p;
    p.reserve_head(8);
    p.put(160);
    for (auto _ : state) {
        p.push16_b(0x0103);   // LAPD control
        p.push16_b(0x0201);   // LAPD address
        p.push16_b(164 + 4);  // TPKT length
        p.push8(0);
        p.push8(3);
        benchmark::DoNotOptimize(p.data());
        unsigned sum = p.pull8();
        sum += p.pull8();
        sum += p.pull16_b();
        sum += p.pull16_b();
        sum += p.pull16_b();
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(PacketPutAndPullHeaders);

void PacketPutTrailer(benchmark::State& state) {
    Packet p;
    p.reserve_head(0);
    for (auto _ : state) {
        p.put8(0x7E);
        p.put16(0x1234);
        p.put16_b(0x5678);
        p.trim(5);
        benchmark::DoNotOptimize(p.tail());
    }
}
BENCHMARK(PacketPutTrailer);

// Pushes a 4-byte header going down, takes it off going up.
class HeaderLayer : public Protocol {
public:
    void local_prepare_head(Packet& p) override { p.reserve_head(4); }
    void message(Packet& p) override {
        p.push16_b(0x0300);
        p.push16_b(0x0001);
        transmit(p);
    }
    void receive(Packet& p) override {
        p.pull(4);
        on_message(p);
    }
};

// The stack's user: what leaves at the bottom is looped back to the bottom.
class LoopbackStack : public ProtocolsFamily {
public:
    void transmit(Packet& p) override { sent = p; }
    void on_message(Packet& p) override { delivered = p.length(); }

    Packet sent;
    unsigned delivered = 0;
};

void ProtocolStackDownAndUp(benchmark::State& state) {
    LoopbackStack stack;
    for (int i = 0; i < 3; ++i) stack.add_protocol_tail(new HeaderLayer);
    for (auto _ : state) {
        Packet p;
        stack.prepare_head(p);
        p.put(160);
        stack.message(p);
        p.clear();
        stack.receive(stack.sent);
        stack.sent.clear();
        benchmark::DoNotOptimize(stack.delivered);
    }
}
BENCHMARK(ProtocolStackDownAndUp);

}  // namespace
