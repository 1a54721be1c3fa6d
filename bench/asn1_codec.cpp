// Encode and decode time per message of a control-link-like mix (one
// iteration codes every message of the mix once; the counters give the
// time per message).

#include <benchmark/benchmark.h>

#include <iterator>

#include "asn1_messages.h"

namespace {

using namespace ASN1;

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
    state.counters["ns_per_message"] =
        benchmark::Counter(double(state.iterations() * messages.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EncodePerMessage);

void BM_DecodePerMessage(benchmark::State& state) {
    auto const messages = BenchMsgs::mix();
    std::vector<std::vector<char>> wires;
    for (auto const& m : messages) {
        CoderEnv env;
        env.set_encodingRule(CoderEnv::per_Aligned);
        wires.emplace_back();
        if (!encode(*m, &env, std::back_inserter(wires.back()))) state.SkipWithError("encode");
    }
    for (auto _ : state) {
        for (auto const& wire : wires) {
            std::unique_ptr<AbstractData> value(AbstractData::create(BenchMsgs::messageInfo()));
            CoderEnv env;
            env.set_encodingRule(CoderEnv::per_Aligned);
            bool const ok = decode(wire.data(), wire.data() + wire.size(), &env, *value, true);
            benchmark::DoNotOptimize(ok);
        }
    }
    state.counters["ns_per_message"] =
        benchmark::Counter(double(state.iterations() * wires.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodePerMessage);

}  // namespace

namespace {

// Decoding into values kept from the previous round: the coder alone,
// without making and freeing the values.
void BM_DecodeIntoKeptValues(benchmark::State& state) {
    auto const messages = BenchMsgs::mix();
    std::vector<std::vector<char>> wires;
    std::vector<std::unique_ptr<ASN1::AbstractData>> values;
    for (auto const& m : messages) {
        ASN1::CoderEnv env;
        env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
        wires.emplace_back();
        ASN1::encode(*m, &env, std::back_inserter(wires.back()));
        values.emplace_back(ASN1::AbstractData::create(BenchMsgs::messageInfo()));
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < wires.size(); ++i) {
            ASN1::PERDecoder decoder(wires[i].data(), wires[i].data() + wires[i].size());
            benchmark::DoNotOptimize(values[i]->accept(decoder));
        }
    }
    state.counters["ns_per_message"] =
        benchmark::Counter(double(state.iterations() * wires.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodeIntoKeptValues);

}  // namespace
