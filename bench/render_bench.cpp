// Real-time factor of the render loop: seconds of audio per second of wall
// time, for chords that keep sounding (struck again every few seconds), and
// for a burst of strikes. The string kernel is the best build this processor
// runs; PELMAR_BENCH_KERNEL=reference|baseline|avx2|avx512 picks another.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/kernel_paths.h"
#include "engine/tick_clock.h"
#include "host/pelmar.h"
#include "tools/vsthost/event_list.h"

namespace {

// Picks the kernel named by PELMAR_BENCH_KERNEL before the benchmarks run.
[[maybe_unused]] const bool kernelChosen = [] {
    const char* name = std::getenv("PELMAR_BENCH_KERNEL");
    if (!name) return false;
    const std::string n = name;
    const KernelPath path = n == "reference" ? KernelPath::Reference
                            : n == "baseline" ? KernelPath::Baseline
                            : n == "avx2"     ? KernelPath::Avx2
                                              : KernelPath::Avx512;
    if (!selectKernelPath(path)) std::fprintf(stderr, "kernel %s not available here\n", name);
    return true;
}();

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

enum Chord { kAllKeys, kLowestTen, kSpreadTen };

std::vector<int> keysOf(Chord chord) {
    std::vector<int> keys;
    if (chord == kAllKeys)
        for (int k = 0; k < kNumKeys; ++k) keys.push_back(k);
    if (chord == kLowestTen)
        for (int k = 0; k < 10; ++k) keys.push_back(k);
    if (chord == kSpreadTen)
        for (int k = 0; k < 10; ++k) keys.push_back(k * 9);
    return keys;
}

void strike(pelmar& plugin, const std::vector<int>& keys) {
    vsthost::EventList events;
    events.pedal(0, true);
    for (int k : keys) events.noteOn(0, k + 21, 100);
    plugin.processEvents(events.get());
}

// Arguments: chord, block, workers, host sample rate. At rates other than
// 44100 Hz the model's output is converted to the host's rate, so comparing
// rates shows what the conversion costs within a whole render.
void renderChord(benchmark::State& state) {
    const auto chord = static_cast<Chord>(state.range(0));
    const int block = static_cast<int>(state.range(1));
    const int workers = static_cast<int>(state.range(2));
    const auto rate = static_cast<double>(state.range(3));
    auto plugin = std::make_unique<pelmar>(quietHost, workers);
    plugin->setSampleRate(static_cast<float>(rate));
    plugin->setBlockSize(block);
    const std::vector<int> keys = keysOf(chord);
    std::vector<float> left(block), right(block);
    float* outputs[2] = {left.data(), right.data()};
    const auto restrikeFrames = static_cast<long>(rate * 4);
    long sinceStrike = restrikeFrames;
    // Each block's time in time-stamp ticks (no system call), for the median.
    std::vector<std::uint64_t> blockTicks;
    blockTicks.reserve(1u << 20);
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    const std::uint64_t ticksStart = readTicks();
    for (auto _ : state) {
        if (sinceStrike >= restrikeFrames) {
            strike(*plugin, keys);
            sinceStrike = 0;
        }
        const std::uint64_t before = readTicks();
        plugin->processReplacing(nullptr, outputs, block);
        blockTicks.push_back(readTicks() - before);
        sinceStrike += block;
        benchmark::DoNotOptimize(left.data());
    }
    const double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double secondsPerTick = wallSeconds / static_cast<double>(readTicks() - ticksStart);
    const double audioSeconds = static_cast<double>(state.iterations()) * block / rate;
    state.counters["realtime_x"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
    // The same from the median block: on a shared (virtual) machine a few
    // blocks that another guest delayed raise the mean, with two workers
    // whenever either core is taken away; the median shows the render itself.
    if (!blockTicks.empty()) {
        std::nth_element(blockTicks.begin(), blockTicks.begin() + blockTicks.size() / 2, blockTicks.end());
        const double median = static_cast<double>(blockTicks[blockTicks.size() / 2]) * secondsPerTick;
        if (median > 0.0) state.counters["median_realtime_x"] = block / rate / median;
    }
    // The same per second of processor time, all threads together: on a
    // shared (virtual) machine, time stolen by other guests counts in the wall
    // clock but not here. With one worker it is the one core's figure.
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (cpuSeconds > 0.0) state.counters["cpu_realtime_x"] = audioSeconds / cpuSeconds;
    state.SetLabel(chord == kAllKeys ? "88 keys, pedal" : chord == kLowestTen ? "10 lowest keys" : "10 spread keys");
}

// The costliest block: all 88 keys struck within one 64-frame block, pedal
// down, each strike on a frame of its own (so the block is cut into many
// sub-blocks), every key then sounding. Each iteration is one such block.
void renderStrikeBurst(benchmark::State& state) {
    const int block = 64;
    const int workers = static_cast<int>(state.range(0));
    auto plugin = std::make_unique<pelmar>(quietHost, workers);
    plugin->setBlockSize(block);
    vsthost::EventList burst;
    burst.pedal(0, true);
    for (int k = 0; k < kNumKeys; ++k) burst.noteOn(k * block / kNumKeys, k + 21, 40 + k);
    VstEvents* events = burst.get();
    std::vector<float> left(block), right(block);
    float* outputs[2] = {left.data(), right.data()};
    for (auto _ : state) {
        plugin->processEvents(events);
        plugin->processReplacing(nullptr, outputs, block);
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * block / 44100.0, benchmark::Counter::kIsRate);
    state.SetLabel("88 strikes in one 64-frame block (target: realtime_x >= 4)");
}

// Blocks as a host plays them live: one every block's duration, the
// plug-in idle in between, so workers that sleep meanwhile must be woken
// for each hand-over. Reports the time to process a block (mean, median and
// 99th percentile, in microseconds) over a few seconds of audio after the
// first second: what a live session pays, which renders back to back (the
// benchmarks above, and offline bounces) do not show.
void renderChordPaced(benchmark::State& state) {
    const auto chord = static_cast<Chord>(state.range(0));
    const int block = static_cast<int>(state.range(1));
    const int workers = static_cast<int>(state.range(2));
    auto plugin = std::make_unique<pelmar>(quietHost, workers);
    plugin->setBlockSize(block);
    std::vector<float> left(block), right(block);
    float* outputs[2] = {left.data(), right.data()};
    std::vector<double> micros;
    for (auto _ : state) {
        strike(*plugin, keysOf(chord));
        const auto period = std::chrono::duration<double>(block / 44100.0);
        auto next = std::chrono::steady_clock::now();
        micros.clear();
        for (long frame = 0; frame < 4L * 44100; frame += block) {
            std::this_thread::sleep_until(next);
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
            const auto start = std::chrono::steady_clock::now();
            plugin->processReplacing(nullptr, outputs, block);
            const auto took = std::chrono::steady_clock::now() - start;
            if (frame >= 44100) micros.push_back(std::chrono::duration<double, std::micro>(took).count());
            benchmark::DoNotOptimize(left.data());
        }
        double sum = 0.0;
        for (double m : micros) sum += m;
        state.SetIterationTime(sum * 1e-6);
    }
    std::sort(micros.begin(), micros.end());
    double sum = 0.0;
    for (double m : micros) sum += m;
    state.counters["mean_us"] = sum / static_cast<double>(micros.size());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["block_us"] = 1e6 * block / 44100.0;
    state.SetLabel(chord == kAllKeys ? "88 keys, pedal, live" : chord == kLowestTen ? "10 lowest keys, live" : "10 spread keys, live");
}

}  // namespace

BENCHMARK(renderStrikeBurst)->ArgNames({"workers"})->Arg(1)->Arg(2)->UseRealTime()->MinTime(2.0)->Unit(benchmark::kMicrosecond);

BENCHMARK(renderChord)
    ->ArgNames({"chord", "block", "workers", "rate"})
    ->ArgsProduct({{kAllKeys, kLowestTen, kSpreadTen}, {64, 512}, {1, 2}, {44100}})
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMicrosecond);

// The same renders at host rates that go through the rate converter.
BENCHMARK(renderChord)
    ->Name("renderChordAtRate")
    ->ArgNames({"chord", "block", "workers", "rate"})
    ->ArgsProduct({{kAllKeys, kLowestTen}, {512}, {1, 2}, {44100, 48000, 96000}})
    ->UseRealTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(renderChordPaced)
    ->ArgNames({"chord", "block", "workers"})
    ->ArgsProduct({{kAllKeys, kSpreadTen}, {64, 512}, {1, 2}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
