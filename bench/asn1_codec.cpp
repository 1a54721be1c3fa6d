// Aligned-PER encode and decode time per message of the control-link mix,
// coded as the control link codes: each message encoded into the vector
// that goes out, each frame decoded into the one message the link keeps.
//
// Without arguments (or with Google Benchmark's), one benchmark iteration
// codes every message of the mix once and the counters give the time per
// message; the octets of each message go into the run's context ("wire0"
// ...). With `--rounds N [encode|decode]` it codes the mix N times each way
// (or the one way named), after N / 10 rounds not timed, and prints
// "encode_ns X", "decode_ns X" (per message) and "wireI HEX" for each
// message, as asn1_bench.erl prints for Erlang/OTP, so that asn1_bench.sh
// can put the two side by side.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "asn1/asn1.h"
#include "asn1/coders/spare_values.h"
#include "asn1_messages.h"
#include "tests/support/oracle/erlang_oracle.h"

namespace {

using namespace ASN1;

using Mix = std::vector<std::unique_ptr<LGCP::Message>>;
using Frames = std::vector<std::vector<char>>;

std::vector<char> encoded(AbstractData const& value) {
    CoderEnv env;
    env.set_encodingRule(CoderEnv::per_Aligned);
    std::vector<char> out;
    encode(value, &env, std::back_inserter(out));
    return out;
}

Frames wires() {
    Frames out;
    for (auto const& m : BenchMsgs::mix()) out.push_back(encoded(*m));
    return out;
}

// Every message of the mix once, each into the cleared output vector.
bool encodeMix(Mix const& messages, std::vector<char>& out) {
    bool ok = true;
    for (auto const& m : messages) {
        out.clear();
        CoderEnv env;
        env.set_encodingRule(CoderEnv::per_Aligned);
        ok = encode(*m, &env, std::back_inserter(out)) && ok;
    }
    return ok;
}

// Every frame once, into the kept message, renewed.
bool decodeMix(Frames const& frames, LGCP::Message& kept, SpareValues& spares) {
    bool ok = true;
    for (auto const& frame : frames) {
        PERDecoder decoder(frame.data(), frame.data() + frame.size());
        decoder.renew(spares);
        ok = kept.accept(decoder) && ok;
    }
    return ok;
}

benchmark::Counter perMessage(benchmark::State const& state, std::size_t messages) {
    return benchmark::Counter(double(state.iterations() * messages),
                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EncodePerMessage(benchmark::State& state) {
    Mix const messages = BenchMsgs::mix();
    std::vector<char> out;
    for (auto _ : state) benchmark::DoNotOptimize(encodeMix(messages, out));
    state.counters["ns_per_message"] = perMessage(state, messages.size());
}
BENCHMARK(BM_EncodePerMessage);

// As the control link decodes: every frame into the one message it keeps,
// renewed, with the alternatives the frames no longer select waiting as
// spares.
void BM_DecodePerMessage(benchmark::State& state) {
    Frames const frames = wires();
    LGCP::Message kept;
    SpareValues spares;
    for (auto _ : state) benchmark::DoNotOptimize(decodeMix(frames, kept, spares));
    state.counters["ns_per_message"] = perMessage(state, frames.size());
}
BENCHMARK(BM_DecodePerMessage);

// Into a fresh message per frame, freed after use.
void BM_DecodeFreshPerMessage(benchmark::State& state) {
    Frames const frames = wires();
    for (auto _ : state) {
        for (auto const& frame : frames) {
            std::unique_ptr<AbstractData> value(AbstractData::create(&LGCP::Message::theInfo));
            CoderEnv env;
            env.set_encodingRule(CoderEnv::per_Aligned);
            bool const ok = decode(frame.data(), frame.data() + frame.size(), &env, *value, true);
            benchmark::DoNotOptimize(ok);
        }
    }
    state.counters["ns_per_message"] = perMessage(state, frames.size());
}
BENCHMARK(BM_DecodeFreshPerMessage);

// Each message of the mix on its own, the link's way.
void BM_EncodeOne(benchmark::State& state) {
    Mix const messages = BenchMsgs::mix();
    auto const& m = *messages[std::size_t(state.range(0))];
    std::vector<char> out;
    for (auto _ : state) {
        out.clear();
        CoderEnv env;
        env.set_encodingRule(CoderEnv::per_Aligned);
        benchmark::DoNotOptimize(encode(m, &env, std::back_inserter(out)));
    }
}
BENCHMARK(BM_EncodeOne)->DenseRange(0, 5);

void BM_DecodeOne(benchmark::State& state) {
    Frames const frame{wires()[std::size_t(state.range(0))]};
    LGCP::Message kept;
    SpareValues spares;
    for (auto _ : state) benchmark::DoNotOptimize(decodeMix(frame, kept, spares));
}
BENCHMARK(BM_DecodeOne)->DenseRange(0, 5);

// --rounds N [encode|decode]: the mix N times each way (or one way), timed
// as a whole.
int runRounds(long rounds, std::string const& way) {
    bool const encoding = way != "decode";
    bool const decoding = way != "encode";
    using Clock = std::chrono::steady_clock;
    Mix const messages = BenchMsgs::mix();
    Frames const frames = wires();
    std::vector<char> out;
    LGCP::Message kept;
    SpareValues spares;
    bool ok = true;
    for (long r = 0; r < rounds / 10; ++r) {
        if (encoding) ok = encodeMix(messages, out) && ok;
        if (decoding) ok = decodeMix(frames, kept, spares) && ok;
    }
    auto const start = Clock::now();
    for (long r = 0; encoding && r < rounds; ++r) ok = encodeMix(messages, out) && ok;
    auto const middle = Clock::now();
    for (long r = 0; decoding && r < rounds; ++r) ok = decodeMix(frames, kept, spares) && ok;
    auto const end = Clock::now();
    if (!ok) {
        std::fprintf(stderr, "asn1_bench: the mix did not code\n");
        return 1;
    }
    double const n = double(rounds) * double(messages.size());
    if (encoding)
        std::printf("encode_ns %.1f\n",
                    std::chrono::duration<double, std::nano>(middle - start).count() / n);
    if (decoding)
        std::printf("decode_ns %.1f\n",
                    std::chrono::duration<double, std::nano>(end - middle).count() / n);
    for (std::size_t i = 0; i < frames.size(); ++i)
        std::printf("wire%zu %s\n", i, ASN1Oracle::hex(frames[i]).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && argc <= 4 && std::strcmp(argv[1], "--rounds") == 0)
        return runRounds(std::atol(argv[2]), argc == 4 ? argv[3] : "");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Frames const frames = wires();
    for (std::size_t i = 0; i < frames.size(); ++i)
        benchmark::AddCustomContext("wire" + std::to_string(i), ASN1Oracle::hex(frames[i]));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
