// The hammer force curves: for every key a raw curve of fractal noise plus a
// small square wave at the key's period, and a smoothed copy of it, both
// stored in reverse time order so that a strike counts down through them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "engine/kernel_paths.h"
#include "engine/model_values.h"
#include "engine/noise/periodic.h"
#include "engine/noise/t3d_noise.h"
#include "engine/noise/turb_row.h"
#include "host/pelmar.h"

namespace {
// Dirty bits of tuning, force, sharpness, hardness, material and roundness.
constexpr int kForceCurveBits = 0x7C08;

constexpr float kSampleRate = 44100.0f;  // the model's fixed rate
// Longest period in samples: the whole curve (3 periods) must fit the signed
// 16-bit strike counter. The lowest pitch the tuning reaches needs 1749.
constexpr int kMaxPeriod = 32767 / 3;
constexpr int kMaxWindow = 12;  // half-width of the smoothing window
constexpr int kMinOctaves = 1;
constexpr int kMaxOctaves = 40;
// Roundness R = 0 would stretch the noise by 1 / 0. It plays as the roundness
// one key-offset step (0.5 / 127) above the bottom: the sharpest hammer that
// the key-offset rows reach, and a finite curve.
constexpr float kMinRoundness = 0.5f / 127.0f;

struct HammerShape {
    float frequencyGrowth;  // A: ratio between successive noise octaves, minus 1
    float weightGrowth;     // B: weight ratio between successive octaves, minus 1
    int octaves;            // n
    float roundness;        // R: one noise unit per R periods
    float force;            // G
};

HammerShape hammerShape(const Program& program, int k) {
    HammerShape shape;
    shape.frequencyGrowth = effectiveValue(program, kMaterial, k) * 0.2f + 0.1f;
    shape.weightGrowth = effectiveValue(program, kSharpness, k) * 0.3f;
    // Hardness -0.5 (hardness 0 with the offset at -127) gives n = 0 octaves,
    // whose mean is undefined. It plays one octave, the same curve as the
    // hardness values just above it: the softest hammer, continuous with its
    // neighbours, rather than a bare square wave.
    shape.octaves = std::max(kMinOctaves, truncClamped(effectiveValue(program, kHardness, k) * 20.0f, -10, kMaxOctaves - 10) + 10);
    shape.roundness = effectiveValue(program, kRoundness, k) + 0.5f;
    if (!(shape.roundness > 0.0f)) shape.roundness = kMinRoundness;
    shape.force = std::max(0.0f, effectiveValue(program, kForce, k));
    return shape;
}

// Gives key k its two curves of three periods at its current pitch. On
// failure the key keeps no curve (forceLen 0, so a strike plays no force)
// and the next build tries again.
bool allocateCurves(pelmar& plugin, int k) {
    const int period = truncClamped(kSampleRate / plugin.keyFreq[k], 1, kMaxPeriod);
    const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(3 * period);
    void* raw = std::realloc(plugin.forceBuf1[k], bytes);
    if (raw) plugin.forceBuf1[k] = static_cast<float*>(raw);
    void* smooth = std::realloc(plugin.forceBuf2[k], bytes);
    if (smooth) plugin.forceBuf2[k] = static_cast<float*>(smooth);
    if (!raw || !smooth) {
        std::free(plugin.forceBuf1[k]);
        std::free(plugin.forceBuf2[k]);
        plugin.forceBuf1[k] = plugin.forceBuf2[k] = nullptr;
        return false;
    }
    plugin.forceLen[k] = static_cast<std::uint16_t>(3 * period);
    return true;
}

using TurbRow = void (*)(float* out, int count, float scale, int n, float a, float b);

// The noise rows are built for the same instruction set as the string kernel
// (the reference path keeps the plain scalar calls); all give the same bits.
TurbRow turbRowFor(KernelPath path) {
    if (path == KernelPath::Avx512) return t3d_turb_row_avx512;
    if (path == KernelPath::Avx2) return t3d_turb_row_avx2;
    return t3d_turb_row_scalar;
}

// The raw curve, time index i stored at len - 1 - i. `noise` receives the
// noise term of every time index on the way (len floats).
void buildRawCurve(float* curve, float* noise, int period, const HammerShape& shape, TurbRow turbRow) {
    const int len = 3 * period;
    const float periodf = static_cast<float>(period);
    turbRow(noise, len, shape.roundness * periodf, shape.octaves, shape.weightGrowth, shape.frequencyGrowth);
    // The square wave first, into the curve's own places; then passes
    // without a dependence from one sample to the next, which vectorise.
    SquareWaveSteps squareWave(152, period);  // rda(i + 152, period)
    for (int i = 0; i < len; ++i) curve[len - 1 - i] = 0.02f * squareWave.next();
    for (int i = 0; i < period; ++i) {
        float v = 2.0f * (noise[i] + curve[len - 1 - i]) / periodf;
        // The first period ramps up from 0.2 to just under 0.6.
        v = v * (0.2f + 0.4f * static_cast<float>(i) / periodf);
        curve[len - 1 - i] = v * shape.force;
    }
    for (int i = period; i < len; ++i) curve[len - 1 - i] = 2.0f * (noise[i] + curve[len - 1 - i]) / periodf * shape.force;
}

// Mean over a window of 2W + 1 entries that shrinks at both ends. Each mean
// sums its entries from the first to the last, starting from 0; the full
// windows in the middle are summed one window position at a time across all
// their indices, which the compiler turns into vector code (the order of the
// additions within each mean stays the same).
void smoothCurve(const float* raw, float* smooth, int period) {
    const int len = 3 * period;
    const int window = std::min(len > kMaxWindow ? kMaxWindow : len - 1, period / 2);
    auto edgeMean = [&](int i) {
        const int first = std::max(0, i - window);
        const int last = std::min(len - 1, i + window);
        float sum = 0.0f;
        for (int j = first; j <= last; ++j) sum += raw[j];
        smooth[i] = sum / static_cast<float>(last - first + 1);
    };
    const int middleBegin = window;
    const int middleEnd = len - window;  // indices whose window fits whole
    if (middleBegin >= middleEnd) {
        for (int i = 0; i < len; ++i) edgeMean(i);
        return;
    }
    for (int i = 0; i < middleBegin; ++i) edgeMean(i);
    for (int i = middleEnd; i < len; ++i) edgeMean(i);
    float* const mid = smooth + middleBegin;
    const float* const from = raw + middleBegin - window;
    const int count = middleEnd - middleBegin;
    for (int i = 0; i < count; ++i) mid[i] = 0.0f;
    for (int d = 0; d <= 2 * window; ++d)
        for (int i = 0; i < count; ++i) mid[i] = mid[i] + from[i + d];
    const float entries = static_cast<float>(2 * window + 1);
    for (int i = 0; i < count; ++i) mid[i] = mid[i] / entries;
}

// One worker's share of a rebuild: keys firstKey, firstKey + keyStep, ...
struct CurveJob {
    pelmar* plugin;
    const Program* program;
    int firstKey;
    int keyStep;
    TurbRow turbRow;
};

void buildKeyCurves(pelmar& p, const Program& program, int k, TurbRow turbRow) {
    // A strike in progress would continue into the new curve: end it.
    p.forceCount[k] = 0;
    p.forceAmp1[k] = 0.0f;
    p.forceAmp2[k] = 0.0f;
    // The length is fixed at the first build; later retuning keeps it.
    if (p.forceLen[k] == 0 && !allocateCurves(p, k)) return;
    const int period = p.forceLen[k] / 3;
    const HammerShape shape = hammerShape(program, k);
    // The smoothed curve's buffer holds the noise until the smoothing.
    buildRawCurve(p.forceBuf1[k], p.forceBuf2[k], period, shape, turbRow);
    smoothCurve(p.forceBuf1[k], p.forceBuf2[k], period);
}

void buildCurvesJob(void* arg) {
    const CurveJob& job = *static_cast<const CurveJob*>(arg);
    for (int k = job.firstKey; k < kNumKeys; k += job.keyStep) buildKeyCurves(*job.plugin, *job.program, k, job.turbRow);
}
}  // namespace

void pelmar::forceInit(int mask) {
    if (!(mask & kForceCurveBits)) return;
    t3d_init_noise();  // filled before any worker reads the tables
    const Program& program = currentProgram();
    const TurbRow turbRow = turbRowFor(selectedKernelPath());
    // Keys are independent: they are dealt to the workers like the strings,
    // key k to worker k mod n, each writing only its own keys' curves.
    const int n = threads ? threads->nb() : 1;
    if (n <= 1) {
        CurveJob job{this, &program, 0, 1, turbRow};
        buildCurvesJob(&job);
        return;
    }
    CurveJob jobs[kMaxWorkers];
    for (int t = 0; t < n; ++t) {
        jobs[t] = CurveJob{this, &program, t, n, turbRow};
        threads->set(t, buildCurvesJob, &jobs[t]);
    }
    threads->syncSharingCaller();
}
