// Aligned-PER encode and decode time per message of the control-link mix
// (one iteration codes every message of the mix once; the counters give
// the time per message). The octets of each message are written into the
// run's context ("wire0" ...) so that asn1_bench.sh can check that the
// Erlang yardstick coded the same messages.

#include <benchmark/benchmark.h>

#include <iterator>
#include <string>

#include "asn1/asn1.h"
#include "asn1_messages.h"
#include "tests/support/oracle/erlang_oracle.h"

namespace {

using namespace ASN1;

std::vector<char> encoded(AbstractData const& value) {
    CoderEnv env;
    env.set_encodingRule(CoderEnv::per_Aligned);
    std::vector<char> out;
    encode(value, &env, std::back_inserter(out));
    return out;
}

std::vector<std::vector<char>> wires() {
    std::vector<std::vector<char>> out;
    for (auto const& m : BenchMsgs::mix()) out.push_back(encoded(*m));
    return out;
}

benchmark::Counter perMessage(benchmark::State const& state, std::size_t messages) {
    return benchmark::Counter(double(state.iterations() * messages),
                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EncodePerMessage(benchmark::State& state) {
    auto const messages = BenchMsgs::mix();
    std::vector<char> out;
    out.reserve(256);
    for (auto _ : state) {
        for (auto const& m : messages) {
            out.clear();
            CoderEnv env;
            env.set_encodingRule(CoderEnv::per_Aligned);
            bool const ok = encode(*m, &env, std::back_inserter(out));
            benchmark::DoNotOptimize(ok);
        }
    }
    state.counters["ns_per_message"] = perMessage(state, messages.size());
}
BENCHMARK(BM_EncodePerMessage);

// As the control link decodes: a fresh message per frame, freed after use.
void BM_DecodePerMessage(benchmark::State& state) {
    auto const frames = wires();
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
BENCHMARK(BM_DecodePerMessage);

// Decoding into values kept from the previous round: the coder alone,
// without making and freeing the values.
void BM_DecodeIntoKeptValues(benchmark::State& state) {
    auto const frames = wires();
    std::vector<std::unique_ptr<AbstractData>> values;
    for (std::size_t i = 0; i < frames.size(); ++i)
        values.emplace_back(AbstractData::create(&LGCP::Message::theInfo));
    for (auto _ : state) {
        for (std::size_t i = 0; i < frames.size(); ++i) {
            PERDecoder decoder(frames[i].data(), frames[i].data() + frames[i].size());
            benchmark::DoNotOptimize(values[i]->accept(decoder));
        }
    }
    state.counters["ns_per_message"] = perMessage(state, frames.size());
}
BENCHMARK(BM_DecodeIntoKeptValues);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    auto const frames = wires();
    for (std::size_t i = 0; i < frames.size(); ++i)
        benchmark::AddCustomContext("wire" + std::to_string(i), ASN1Oracle::hex(frames[i]));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
