// The last step of a sub-block: the workers' sums added from +0 in worker
// order, scaled by the volume and limited, in one pass over the sub-block
// for one or two workers. Plain loops, which each kernel build compiles for
// its own vectors (the element-wise operations round alike in any of them,
// so every build gives the same bits).
#pragma once

#include "engine/limit_sample.h"

namespace {

inline void mixWorkerSums(float* left, float* right, float* const (*sums)[2], int workers, long frames,
                          float volume) {
    for (int side = 0; side < 2; ++side) {
        float* __restrict out = side == 0 ? left : right;
        const float* __restrict first = sums[0][side];
        if (workers <= 2) {
            const float* __restrict second = sums[workers - 1][side];
            if (workers == 2)
                for (long f = 0; f < frames; ++f) out[f] = limitSample(((0.0f + first[f]) + second[f]) * volume);
            else
                for (long f = 0; f < frames; ++f) out[f] = limitSample((0.0f + first[f]) * volume);
            continue;
        }
        for (long f = 0; f < frames; ++f) out[f] = 0.0f + first[f];
        for (int t = 1; t < workers; ++t) {
            const float* __restrict sum = sums[t][side];
            for (long f = 0; f < frames; ++f) out[f] = out[f] + sum[f];
        }
        for (long f = 0; f < frames; ++f) out[f] = limitSample(out[f] * volume);
    }
}

}  // namespace
