// The rate converter alone: model-rate frames (a stored stereo signal, so the
// model's own cost is left out) converted to the host's rate in host blocks
// of 512 frames, on one thread. realtime_x is seconds of host audio per
// second of processor time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/rate_converter.h"

namespace {

struct StoredSignal {
    std::vector<float> samples;
    std::size_t at = 0;
};

void replay(void* context, float* left, float* right, int frames) {
    auto& signal = *static_cast<StoredSignal*>(context);
    for (int f = 0; f < frames; ++f) {
        left[f] = signal.samples[signal.at];
        right[f] = -signal.samples[signal.at];
        signal.at = (signal.at + 1) % signal.samples.size();
    }
}

void convertOnly(benchmark::State& state) {
    const auto rate = static_cast<double>(state.range(0));
    constexpr int kBlock = 512;
    RateConverter converter;
    if (!converter.configure(rate, kBlock)) {
        state.SkipWithError("converter not available");
        return;
    }
    StoredSignal signal;
    for (int i = 0; i < 44100; ++i)
        signal.samples.push_back(static_cast<float>(0.3 * std::sin(i * 0.0627) + 0.1 * std::sin(i * 1.9)));
    std::vector<float> left(kBlock), right(kBlock);
    for (auto _ : state) {
        converter.process(left.data(), right.data(), kBlock, replay, &signal);
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / rate, benchmark::Counter::kIsRate);
    state.SetLabel("converter alone, host latency " + std::to_string(converter.latency()) + " frames");
}

}  // namespace

BENCHMARK(convertOnly)->ArgNames({"rate"})->Arg(48000)->Arg(88200)->Arg(96000)->Arg(192000)->Arg(22050)
    ->MinTime(1.0)->Unit(benchmark::kMicrosecond);
