// The string kernel for vector units, written once over a small vector type
// V and built once per instruction set (kernel_baseline.cpp, kernel_avx2.cpp,
// kernel_avx512.cpp). Every element goes through exactly the operations of
// the reference kernel (kernel.cpp) in the same order, with no fused
// multiply-add, so the output is the same to the bit:
// - points of one string sit in the vector lanes; each link force is computed
//   once into a scratch row and read back for both of its points;
// - the hammer force is added to its one lane, the others get -0, which
//   leaves every value (even a zero's sign) as it is;
// - the peak |A| is a maximum of non-negative values, the same in any order;
// - keys are independent, so each key runs through all frames before the
//   next: its state stays in the first-level cache, its strike counter in a
//   register. The pickups are still added into each frame's sums in
//   ascending key order, starting from +0, as the reference adds them.
// Everything here has internal linkage: each translation unit keeps its own
// copy built for its own instruction set.
#pragma once

#include <cstring>

#include "engine/voice_job.h"
#include "host/pelmar.h"

namespace {

constexpr int kScratchPoints = kMaxPoints + 16;  // one row of link forces, with room for a vector
constexpr int kPrivateCopyFrames = 8;  // shorter runs work on the shared arrays in place

// Link forces F(0..N-1) of one string, from the positions and velocities of
// the last sample.
template <class V>
inline void linkForces(const float* X, const float* Vel, float* F, int N, float K, float c) {
    F[0] = -(K * X[1] + c * Vel[1]);  // from the fixed end 0 to point 1
    const typename V::R k = V::set1(K);
    const typename V::R cv = V::set1(c);
    int i = 1;
    for (; i + V::kWidth <= N - 1; i += V::kWidth) {
        const typename V::R dx = V::sub(V::load(X + i), V::load(X + i + 1));
        const typename V::R dv = V::sub(V::load(Vel + i), V::load(Vel + i + 1));
        V::store(F + i, V::add(V::mul(k, dx), V::mul(cv, dv)));
    }
    if (i < N - 1) {
        const int n = N - 1 - i;
        const typename V::R dx = V::sub(V::loadPart(X + i, n), V::loadPart(X + i + 1, n));
        const typename V::R dv = V::sub(V::loadPart(Vel + i, n), V::loadPart(Vel + i + 1, n));
        V::storePart(F + i, V::add(V::mul(k, dx), V::mul(cv, dv)), n);
    }
    F[N - 1] = K * X[N - 1] + c * Vel[N - 1];  // to the fixed end N
}

// One point block of the update: accelerations from the link forces (plus the
// hammer lane), then velocities and positions; returns the new peak.
template <class V>
inline typename V::R updateBlock(typename V::R a, float* X, float* Vel, int i, int n, typename V::R peak) {
    if (n == V::kWidth) {
        const typename V::R v = V::add(V::load(Vel + i), a);
        const typename V::R x = V::add(V::load(X + i), v);
        V::store(Vel + i, v);
        V::store(X + i, x);
    } else {
        const typename V::R v = V::add(V::loadPart(Vel + i, n), a);
        const typename V::R x = V::add(V::loadPart(X + i, n), v);
        V::storePart(Vel + i, v, n);
        V::storePart(X + i, x, n);
    }
    return V::maxKeepingPeak(V::abs(a), peak);
}

// Advances one string by one sample. `hammer` is false or the point h gets
// the force phi. Returns the peak vector widened by this string's |A|.
template <class V>
inline typename V::R stepString(float* X, float* Vel, float* F, int N, float K, float c, float g, bool hammer,
                                int h, float phi, typename V::R peak) {
    if (N < 2) return peak;  // no moving point
    linkForces<V>(X, Vel, F, N, K, c);
    const typename V::R gv = V::set1(g);
    for (int i = 1; i < N; i += V::kWidth) {
        const int n = N - i < V::kWidth ? N - i : V::kWidth;
        typename V::R a;
        if (n == V::kWidth)
            a = V::sub(V::sub(V::load(F + i - 1), V::load(F + i)), V::mul(gv, V::load(Vel + i)));
        else
            a = V::sub(V::sub(V::loadPart(F + i - 1, n), V::loadPart(F + i, n)),
                       V::mul(gv, V::loadPart(Vel + i, n)));
        if (hammer && static_cast<unsigned>(h - i) < static_cast<unsigned>(n)) a = V::addAtLane(a, h - i, phi);
        peak = updateBlock<V>(a, X, Vel, i, n, peak);
    }
    return peak;
}

template <class V>
void runVectorKernel(void* arg) {
    const VoiceJob& job = *static_cast<const VoiceJob*>(arg);
    pelmar& p = *job.plugin;
    const int frames = job.frames;
    if (frames < 1) return;
    float* outLeft = job.outLeft;
    float* outRight = job.outRight;
    for (int f = 0; f < frames; ++f) {
        outLeft[f] = 0.0f;
        outRight[f] = 0.0f;
    }
    alignas(64) float F1[kScratchPoints];
    alignas(64) float F2[kScratchPoints];

    // A private copy of a key's strings for longer runs: keys of different
    // workers share cache lines at their edges in the plug-in's arrays, and
    // writing them every sample from two cores would bounce those lines.
    alignas(64) float own[4][kMaxPoints];

    for (int k = job.firstKey; k < kNumKeys; k += job.keyStep) {
        if (!p.keyActive[k]) continue;
        const int N = p.stringLen[k];
        const bool copied = frames >= kPrivateCopyFrames && N >= 2 && N <= kMaxPoints;
        float* X1 = p.stringPos[k][0];
        float* X2 = p.stringPos[k][1];
        float* V1 = p.stringVel[k][0];
        float* V2 = p.stringVel[k][1];
        float* const shared[4] = {X1, X2, V1, V2};
        if (copied) {
            for (int s = 0; s < 4; ++s) std::memcpy(own[s], shared[s], sizeof(own[s]));
            X1 = own[0];
            X2 = own[1];
            V1 = own[2];
            V2 = own[3];
        }
        const float K1 = p.stiff1[k];
        const float K2 = p.stiff2[k];
        const float c = p.viscosity[k];
        const float g = p.damping[k];
        const int h = p.hammerPoint[k];
        const int pL = p.pickupLeft[k];
        const int pR = p.pickupRight[k];
        const float threshold = 0.00001f / p.keyFreq[k];
        const float* buf1 = p.forceBuf1[k];
        const float* buf2 = p.forceBuf2[k];
        const float amp1 = p.forceAmp1[k];
        const float amp2 = p.forceAmp2[k];
        int count = p.forceCount[k];

        for (int f = 0; f < frames; ++f) {
            bool hammer = false;
            float phi = 0.0f;
            if (count > 0) {
                const int j = --count;
                phi = buf2[j] * amp2 + buf1[j] * amp1;
                hammer = true;
            }
            typename V::R peak = V::set1(0.0f);
            peak = stepString<V>(X1, V1, F1, N, K1, c, g, hammer, h, phi, peak);
            peak = stepString<V>(X2, V2, F2, N, K2, c, g, hammer, h, phi, peak);
            outLeft[f] = (X1[pL] + X2[pL]) + outLeft[f];
            outRight[f] = (X1[pR] + X2[pR]) + outRight[f];
            // The peak is needed only once the strike is over.
            if (count <= 0 && threshold > V::reduceMax(peak)) {
                p.keyActive[k] = 0;
                break;
            }
        }
        p.forceCount[k] = static_cast<std::int16_t>(count);
        // Only the moving points were written.
        if (copied)
            for (int s = 0; s < 4; ++s) std::memcpy(shared[s] + 1, own[s] + 1, sizeof(float) * (N - 1));
    }
}

}  // namespace
