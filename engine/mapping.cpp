// The mapping from the current program's parameters and key offsets to the
// per-key coefficients of the string model. Only the groups whose dirty bits
// are set are recomputed; the force curves follow in forceInit.
#include <cmath>
#include <cstdint>

#include "engine/model_values.h"
#include "host/pelmar.h"

namespace {
// Dirty bits: parameter j sets bit j + 1.
constexpr std::uint32_t kTransposeBit = 1u << (kTranspose + 1);
constexpr std::uint32_t kTuningBit = 1u << (kTuning + 1);
constexpr std::uint32_t kUnisonBit = 1u << (kUnison + 1);
constexpr std::uint32_t kSustainBit = 1u << (kSustain + 1);
constexpr std::uint32_t kDamperBit = 1u << (kDamper + 1);
constexpr std::uint32_t kSoftnessBit = 1u << (kSoftness + 1);
constexpr std::uint32_t kHammerPosBit = 1u << (kHammerPos + 1);
constexpr std::uint32_t kBridgePosBit = 1u << (kBridgePos + 1);

constexpr float kMaxStiffness = 0.99f;
// Bound for string positions before truncation; far outside any string, so
// the index clamps that follow still decide every reachable case.
constexpr int kPositionLimit = 1000000;

float clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

float capStiffness(float stiffness) { return stiffness > kMaxStiffness ? kMaxStiffness : stiffness; }

// A point of a string of n segments: 1 .. n - 1.
int stringPoint(int p, int n) { return p <= 0 ? 1 : (p >= n ? n - 1 : p); }
}  // namespace

void pelmar::parameterProcess() {
    // A bit set by another thread after the exchange stays for the next call.
    const std::uint32_t mask = dirtyMask.exchange(0);
    if (mask == 0) return;
    const Program& program = currentProgram();

    if (mask & kTransposeBit) noteShift = truncClamped(100.0f * parameterValue(program, kTranspose), 0, 100) - 50;

    if (mask & kTuningBit) {
        const float global = 2.0f * parameterValue(program, kTuning) - 1.0f;
        for (int k = 0; k < kNumKeys; ++k) {
            const float semitones = global + offsetValue(program, kTuning, k) * 0.5f / 127.0f + static_cast<float>(k - 48);
            keyFreq[k] = 440.0f * powf(2.0f, semitones / 12.0f);
        }
        for (int k = 0; k < kNumKeys; ++k) {
            const float speed = static_cast<float>(stringLen[k]) * keyFreq[k] / 8800.0f;
            stiff1[k] = capStiffness(speed * speed * 0.16f);
        }
    }

    if (mask & (kTuningBit | kUnisonBit)) {
        // String 2 runs at (1 - 0.01 u) times the wave speed of string 1.
        const float unison = parameterValue(program, kUnison);
        for (int k = 0; k < kNumKeys; ++k) {
            const float u = effectiveValue(unison, program, kUnison, k);
            const float speed = (1.0f - 0.01f * u) * keyFreq[k] * (static_cast<float>(stringLen[k]) / 8800.0f);
            stiff2[k] = capStiffness(speed * speed * 0.16f);
        }
    }

    if (mask & kSoftnessBit) {
        // Scaled by each key's stiffness relative to the lowest key's.
        const float softness = parameterValue(program, kSoftness);
        for (int k = 0; k < kNumKeys; ++k) {
            const float s = clamp01(effectiveValue(softness, program, kSoftness, k));
            viscosity[k] = (powf(s, 1.8f) * 0.0001f + 0.0000001f) * stiff1[k] / stiff1[0];
        }
    }

    if (mask & kSustainBit) {
        const float sustain = parameterValue(program, kSustain);
        for (int k = 0; k < kNumKeys; ++k) {
            const float s = clamp01(effectiveValue(sustain, program, kSustain, k));
            dampHold[k] = powf(1.0f - s, 1.8f) * 0.0005f + 0.00001f;
        }
    }

    if (mask & (kSustainBit | kDamperBit)) {
        // Every key, held ones included, goes on its release damping now.
        const float damper = parameterValue(program, kDamper);
        for (int k = 0; k < kNumKeys; ++k) {
            const float d = clamp01(effectiveValue(damper, program, kDamper, k));
            dampRelease[k] = powf(d, 1.8f) * 0.0005f + dampHold[k];
            damping[k] = dampRelease[k];
        }
    }

    if (mask & kHammerPosBit) {
        const float position = parameterValue(program, kHammerPos);
        for (int k = 0; k < kNumKeys; ++k) {
            const float e = effectiveValue(position, program, kHammerPos, k);
            const int n = stringLen[k];
            hammerPoint[k] = stringPoint(truncClamped(e * static_cast<float>(n), -kPositionLimit, kPositionLimit), n);
        }
    }

    if (mask & kBridgePosBit) {
        // The two pickups are two points apart, the right one nearer point 0.
        const float position = parameterValue(program, kBridgePos);
        for (int k = 0; k < kNumKeys; ++k) {
            const float e = effectiveValue(position, program, kBridgePos, k);
            const int n = stringLen[k];
            const int b = truncClamped(e * static_cast<float>(n), -kPositionLimit, kPositionLimit);
            pickupLeft[k] = stringPoint(b, n);
            pickupRight[k] = stringPoint(b - 2, n);
        }
    }

    forceInit(static_cast<int>(mask));
}
