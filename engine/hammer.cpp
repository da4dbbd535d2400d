// The hammer force curves: for every key a raw curve of fractal noise plus a
// small square wave at the key's period, and a smoothed copy of it, both
// stored in reverse time order so that a strike counts down through them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "engine/model_values.h"
#include "engine/noise/periodic.h"
#include "engine/noise/t3d_noise.h"
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

// The raw curve, time index i stored at len - 1 - i.
void buildRawCurve(float* curve, int period, const HammerShape& shape) {
    const int len = 3 * period;
    const float periodf = static_cast<float>(period);
    for (int i = 0; i < len; ++i) {
        const float square = 0.02f * rda(static_cast<float>(i + 152), periodf);
        const float noise = t3d_turb(static_cast<float>(i) / (shape.roundness * periodf), shape.octaves,
                                     shape.weightGrowth, shape.frequencyGrowth);
        float v = 2.0f * (noise + square) / periodf;
        // The first period ramps up from 0.2 to just under 0.6.
        if (i < period) v = v * (0.2f + 0.4f * static_cast<float>(i) / periodf);
        curve[len - 1 - i] = v * shape.force;
    }
}

// Mean over a window of 2W + 1 entries that shrinks at both ends.
void smoothCurve(const float* raw, float* smooth, int period) {
    const int len = 3 * period;
    const int window = std::min(len > kMaxWindow ? kMaxWindow : len - 1, period / 2);
    for (int i = 0; i < len; ++i) {
        const int first = std::max(0, i - window);
        const int last = std::min(len - 1, i + window);
        float sum = 0.0f;
        for (int j = first; j <= last; ++j) sum += raw[j];
        smooth[i] = sum / static_cast<float>(last - first + 1);
    }
}
}  // namespace

void pelmar::forceInit(int mask) {
    if (!(mask & kForceCurveBits)) return;
    t3d_init_noise();
    const Program& program = currentProgram();
    for (int k = 0; k < kNumKeys; ++k) {
        // A strike in progress would continue into the new curve: end it.
        forceCount[k] = 0;
        forceAmp1[k] = 0.0f;
        forceAmp2[k] = 0.0f;
        // The length is fixed at the first build; later retuning keeps it.
        if (forceLen[k] == 0 && !allocateCurves(*this, k)) continue;
        const int period = forceLen[k] / 3;
        const HammerShape shape = hammerShape(program, k);
        buildRawCurve(forceBuf1[k], period, shape);
        smoothCurve(forceBuf1[k], forceBuf2[k], period);
    }
}
