// Cost of the sound model's coefficient mapping and force-curve builds
// (the build of the curves follows the kernel choice: PELMAR_BENCH_KERNEL
// in render_bench.cpp).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "host/pelmar.h"

namespace {

VstIntPtr VSTCALLBACK silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

std::unique_ptr<pelmar> makePlugin() { return std::make_unique<pelmar>(silentHost, 1); }

// All 88 keys' curves with program 0's hammer (21 octaves of noise).
void BM_ForceInitProgram0(benchmark::State& state) {
    auto plugin = makePlugin();
    for (auto _ : state) {
        plugin->forceInit(0x7C08);
        benchmark::DoNotOptimize(plugin->forceBuf1[0][0]);
    }
}
BENCHMARK(BM_ForceInitProgram0)->Unit(benchmark::kMillisecond);

// Program 0's curves dealt to two workers, as the plug-in does on this
// machine (target: at most 2 ms).
void BM_ForceInitProgram0TwoWorkers(benchmark::State& state) {
    auto plugin = std::make_unique<pelmar>(silentHost, 2);
    for (auto _ : state) {
        plugin->forceInit(0x7C08);
        benchmark::DoNotOptimize(plugin->forceBuf1[0][0]);
    }
}
BENCHMARK(BM_ForceInitProgram0TwoWorkers)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same with hardness 1: 30 octaves.
void BM_ForceInitHardness1(benchmark::State& state) {
    auto plugin = makePlugin();
    plugin->setParameter(0x22, 1.0f);
    plugin->parameterProcess();
    for (auto _ : state) {
        plugin->forceInit(0x7C08);
        benchmark::DoNotOptimize(plugin->forceBuf1[0][0]);
    }
}
BENCHMARK(BM_ForceInitHardness1)->Unit(benchmark::kMillisecond);

// Hardness 1 dealt to two workers, as the plug-in does on this machine.
void BM_ForceInitHardness1TwoWorkers(benchmark::State& state) {
    auto plugin = std::make_unique<pelmar>(silentHost, 2);
    plugin->setParameter(0x22, 1.0f);
    plugin->parameterProcess();
    for (auto _ : state) {
        plugin->forceInit(0x7C08);
        benchmark::DoNotOptimize(plugin->forceBuf1[0][0]);
    }
}
BENCHMARK(BM_ForceInitHardness1TwoWorkers)->UseRealTime()->Unit(benchmark::kMillisecond);

// Most octaves the editor reaches (hardness 1 and every hardness offset at
// +127: 40 octaves), against stored values outside the editor's range that
// read as the same settings: the latter must cost no more.
void buildExtremeCurves(benchmark::State& state, float hardness, float roundness, float material) {
    auto plugin = makePlugin();
    Program& program = plugin->currentProgram();
    for (int j : {kHardness, kMaterial})
        for (int k = 0; k < kNumKeys; ++k) program.keyOffset[j][k] = 127;
    plugin->setParameter(0x22, hardness);
    plugin->setParameter(0x24, roundness);
    plugin->setParameter(0x23, material);
    plugin->parameterProcess();
    for (auto _ : state) {
        plugin->forceInit(0x7C08);
        benchmark::DoNotOptimize(plugin->forceBuf1[0][0]);
    }
}
BENCHMARK_CAPTURE(buildExtremeCurves, InRange40Octaves, 1.0f, 0.5f, 1.0f)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(buildExtremeCurves, HostileValues, 1e30f, NAN, INFINITY)->Unit(benchmark::kMillisecond);

// One turn of a knob that does not touch the curves: sustain.
void BM_ParameterProcessSustain(benchmark::State& state) {
    auto plugin = makePlugin();
    float value = 0.5f;
    for (auto _ : state) {
        value = value > 0.9f ? 0.1f : value + 0.01f;
        plugin->setParameter(0x12, value);
        plugin->parameterProcess();
        benchmark::DoNotOptimize(plugin->damping[0]);
    }
}
BENCHMARK(BM_ParameterProcessSustain)->Unit(benchmark::kMicrosecond);

}  // namespace
