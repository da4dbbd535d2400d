// The noise tables and the noise functions built on them.
#include "engine/noise/t3d_noise.h"

#include <cmath>
#include <mutex>

#include "engine/noise/additive_random.h"

namespace {
float aleatValues[kNoiseTableSize];
float dxaleatValues[kNoiseTableSize];
alignas(64) float cellValues[kNoiseTableSize][4];
std::once_flag noiseFilled;

// One uniform draw in 0..1: the generator's 31 value bits times 2^-31.
float uniform(AdditiveRandom& random) {
    constexpr float kScale = 1.0f / 2147483648.0f;
    return static_cast<float>(random.next() & 0x7FFFFFFF) * kScale;
}

void fillNoiseTables() {
    // Seed 1 and alternating draws: the same values as the C library's
    // rand() after srand(1), without touching the process's own generator.
    AdditiveRandom random(1);
    for (int i = 0; i < kNoiseTableSize; ++i) {
        aleatValues[i] = uniform(random);
        dxaleatValues[i] = (uniform(random) - 0.5f) * 1.33f;
    }
    for (int c = 0; c < kNoiseTableSize; ++c) {
        const int next = c + 1 == kNoiseTableSize ? 0 : c + 1;
        cellValues[c][0] = aleatValues[c];
        cellValues[c][1] = dxaleatValues[c];
        cellValues[c][2] = aleatValues[next];
        cellValues[c][3] = dxaleatValues[next];
    }
}

int wrapIndex(int c) {
    const int index = c % kNoiseTableSize;
    return index < 0 ? index + kNoiseTableSize : index;
}
}  // namespace

const float (&aleat)[kNoiseTableSize] = aleatValues;
const float (&dxaleat)[kNoiseTableSize] = dxaleatValues;
const float (&noiseCells)[kNoiseTableSize][4] = cellValues;

void t3d_init_noise() {
    // Every fill would write the same values, so one fill per process is
    // enough; call_once also lets instances on several threads build their
    // curves at the same time without racing on the tables.
    std::call_once(noiseFilled, fillNoiseTables);
}

float t3d_bruit(float x) {
    const float lattice = std::floor(x);
    int c0;
    if (lattice >= -2147483648.0f && lattice < 2147483648.0f) {
        c0 = wrapIndex(static_cast<int>(lattice));
    } else if (std::isfinite(lattice)) {
        // Beyond the integer range x is a whole number; its remainder is
        // exact in single precision and u is 0.
        c0 = wrapIndex(static_cast<int>(std::fmod(lattice, static_cast<float>(kNoiseTableSize))));
    } else {
        return 0.5f;  // no position: the noise's mean, which adds nothing to an octave sum
    }
    const int c1 = c0 + 1 == kNoiseTableSize ? 0 : c0 + 1;
    const float u = x - lattice;
    const float a0 = aleatValues[c0];
    const float d0 = dxaleatValues[c0];
    const float a1 = aleatValues[c1];
    const float d1 = dxaleatValues[c1];
    return a0 + u * (d0 + u * ((3.0f * (a1 - a0) - 2.0f * d0 - d1) + u * (2.0f * (a0 - a1) + d0 + d1)));
}

float t3d_turb(float x, int n, float a, float b) {
    if (n < 1) return 0.0f;  // a mean over no octave: no noise
    float frequency = 1.0f;
    float weight = 1.0f;
    float sum = 0.0f;
    float weights = 0.0f;
    for (int j = 0; j < n; ++j) {
        weight = weight * (1.0f + a);
        sum = sum + (t3d_bruit(frequency * x + 571.171f * static_cast<float>(j)) - 0.5f) * weight;
        weights = weights + weight;
        frequency = frequency * (1.0f + b);
    }
    return sum / weights * 10.0f;
}

float t3d_turb0(float x, int n) {
    // From octave 128 on the scale 2^j is infinite in single precision and
    // every further octave adds exactly 0, so a larger n changes nothing.
    constexpr int kMaxOctaves = 128;
    if (n > kMaxOctaves) n = kMaxOctaves;
    float scale = 1.0f;
    float sum = 0.0f;
    for (int j = 0; j < n; ++j) {
        sum = sum + (t3d_bruit(scale * x) - 0.5f) / scale;
        scale = 2.0f * scale;
    }
    return sum;
}
