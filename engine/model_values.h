// How the sound model reads the current program. Parameters are read within
// the editor's range 0..1 and key offsets within -127..127, whatever a chunk
// stored: every value the editor produces passes unchanged, and no stored
// value can make a coefficient, a curve or a strike non-finite, or an index
// leave its string. NaN reads as the middle of the range.
#pragma once

#include "host/program.h"
#include "host/shared_value.h"

inline float parameterValue(const Program& program, int j) {
    const float value = loadShared(program.param[j]);
    if (value >= 0.0f) return value <= 1.0f ? value : 1.0f;
    return value < 0.0f ? 0.0f : 0.5f;
}

inline float offsetValue(const Program& program, int j, int k) {
    const int offset = loadShared(program.keyOffset[j][k]);
    return static_cast<float>(offset < -127 ? -127 : offset);
}

// param + offset * 0.5 / 127: the parameter moved by up to half its range,
// for a parameter value already read with parameterValue.
inline float effectiveValue(float parameter, const Program& program, int j, int k) {
    return parameter + offsetValue(program, j, k) * 0.5f / 127.0f;
}

inline float effectiveValue(const Program& program, int j, int k) {
    return effectiveValue(parameterValue(program, j), program, j, k);
}

// Truncation toward zero of a value clamped to lo..hi first (NaN gives lo),
// so that no float can overflow the conversion.
inline int truncClamped(float value, int lo, int hi) {
    if (!(value >= static_cast<float>(lo))) return lo;
    return value <= static_cast<float>(hi) ? static_cast<int>(value) : hi;
}
