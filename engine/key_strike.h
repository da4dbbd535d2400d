// The strike in progress on one key, for the vector kernels: its two force
// curves are read backwards, one entry a sample, weighted by the two
// velocity amplitudes, in the reference kernel's order of operations.
#pragma once

#include "host/pelmar.h"

struct KeyStrike {
    const float* buf1 = nullptr;
    const float* buf2 = nullptr;
    float amp1 = 0.0f;
    float amp2 = 0.0f;
    int count = 0;  // samples of the strike still to come

    KeyStrike() = default;
    KeyStrike(const pelmar& p, int k)
        : buf1(p.forceBuf1[k]), buf2(p.forceBuf2[k]), amp1(p.forceAmp1[k]), amp2(p.forceAmp2[k]),
          count(p.forceCount[k]) {}

    // The force of the next sample; false once the strike is over.
    bool next(float& phi) {
        if (count <= 0) return false;
        const int j = --count;
        phi = buf2[j] * amp2 + buf1[j] * amp1;
        return true;
    }
};
