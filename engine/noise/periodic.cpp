// Periodic helper waveforms: random steps, square wave and a small set of
// shapes, all of period p.
#include "engine/noise/periodic.h"

#include <cmath>
#include <cstdint>

namespace {
// Fractional part of x / p, truncated toward zero (negative for negative x).
float phase(float x, float p) {
    const float t = x / p;
    return t - std::trunc(t);
}
}  // namespace

float rds(float x, float p) {
    if (!(p >= 1.0f)) return 0.0f;
    const float step = std::trunc(x / p);
    if (!std::isfinite(step)) return 0.0f;
    // Only the low 16 bits of the step number reach the result, and the
    // remainder modulo 65536 is exact for every float, so any position is
    // safe to convert.
    const auto low = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::fmod(step, 65536.0f)));
    const std::uint32_t h = (low * 25713u + 1345u) & 0xFFFFu;
    return 2.0f * static_cast<float>(h) / 65535.0f - 1.0f;
}

float rda(float x, float p) {
    if (!(p >= 3.0f)) return 0.0f;
    return phase(x, p) >= 0.5f ? -1.0f : 1.0f;
}

float vag(int type, float x, float p) {
    if (!(p >= 1.0f)) return 0.0f;
    constexpr float kTwoPi = 6.28318531f;
    const float f = phase(x, p);
    switch (type) {
        case 0:
            return f < 0.5f ? 1.0f : -1.0f;
        case 1: {
            const float t = 2.0f * (0.5f - std::fabs(f - 0.5f));
            return t > 1.0f ? 1.0f : t;
        }
        case 2: {
            const float t = 4.0f * (0.5f - std::fabs(f - 0.5f));
            return t > 1.0f ? 1.0f : t * t * (3.0f - 2.0f * t);
        }
        case 3:
            return std::sin(kTwoPi * (f - 0.25f)) + 1.0f;
        case 4:
            return std::sin(kTwoPi * f);
        default:
            return 0.0f;
    }
}
