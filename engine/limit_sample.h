// The last step before a sample reaches the host: full scale at most, and
// never a non-finite sample (NaN becomes silence).
#pragma once

inline float limitSample(float x) {
    if (x != x) return 0.0f;
    if (x > 1.0f) return 1.0f;
    if (x < -1.0f) return -1.0f;
    return x;
}
