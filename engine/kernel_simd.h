// The string kernel for vector units, written once over a small vector type
// V and built once per instruction set (kernel_baseline.cpp, kernel_avx2.cpp,
// kernel_avx512.cpp). A worker's sounding keys are split (kernel_plan.h) into
// runs of neighbouring keys with a key, or a segment of a key's strings, per
// lane (kernel_key_lanes.h) and keys computed on their own, with the points
// of a string in the lanes (kernel_segmented_key.h, or below for short
// sub-blocks). Every element goes through exactly the operations of the
// reference kernel (kernel.cpp) in the same order, with no product fused
// into an addition (an addition may run as a * 1 + b, which rounds once, as
// the addition does), so the output is the same to the bit. For a key on its
// own, in place:
// - each link force is computed once and reaches its other point by a shift
//   across the lanes;
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

#include <algorithm>
#include <new>

#include "engine/kernel_key_lanes.h"
#include "engine/kernel_plan.h"
#include "engine/kernel_segmented_key.h"
#include "engine/key_strike.h"
#include "engine/voice_job.h"
#include "host/pelmar.h"

namespace {

constexpr int kSegmentedMinFrames = 8;  // shorter runs of a single key work in place

// Advances one string by one sample in a single sweep over its points.
// Block by block, the link forces F(i..i+W-1) come from the old positions
// and velocities (point i+W is not yet updated when its block reads it);
// the forces shifted one lane, with the last force of the block before in
// lane 0, are the left-hand forces F(i-1..i+W-2). At the last point the
// fixed end reads as +0, and x - (+0) is x to the bit, so the same formula
// gives F(N-1) = K X[N-1] + c V[N-1]. F(0) is computed on its own, as
// -(K X[1] + c V[1]). `hammer`: whether point h gets the force phi.
// Returns the peak vector widened by this string's |A|.
template <class V>
inline typename V::R stepString(float* X, float* Vel, int N, float K, float c, float g, bool hammer, int h,
                                float phi, typename V::R peak) {
    using R = typename V::R;
    if (N < 2) return peak;  // no moving point
    const R k = V::set1(K);
    const R cv = V::set1(c);
    const R gv = V::set1(g);
    R previous = V::set1(-(K * X[1] + c * Vel[1]));  // F(0) in every lane; the last one is used
    for (int i = 1; i < N; i += V::kWidth) {
        const int n = N - i < V::kWidth ? N - i : V::kWidth;
        R x, v, xNext, vNext;
        if (n == V::kWidth && i + V::kWidth < N) {
            x = V::load(X + i);
            v = V::load(Vel + i);
            xNext = V::load(X + i + 1);
            vNext = V::load(Vel + i + 1);
        } else {
            x = V::loadPart(X + i, n);
            v = V::loadPart(Vel + i, n);
            xNext = V::loadPart(X + i + 1, n - 1);  // the fixed end N reads as +0
            vNext = V::loadPart(Vel + i + 1, n - 1);
        }
        const R right = V::add(V::mul(k, V::sub(x, xNext)), V::mul(cv, V::sub(v, vNext)));
        const R left = V::shiftIn(previous, right);
        previous = right;
        R a = V::sub(V::sub(left, right), V::mul(gv, v));
        if (hammer && static_cast<unsigned>(h - i) < static_cast<unsigned>(n)) a = V::addAtLane(a, h - i, phi);
        const R vNew = V::add(v, a);
        const R xNew = V::add(x, vNew);
        if (n == V::kWidth) {
            V::store(Vel + i, vNew);
            V::store(X + i, xNew);
        } else {
            V::storePart(Vel + i, vNew, n);
            V::storePart(X + i, xNew, n);
            a = V::keepLanes(a, n);  // lanes past the string are not its points
        }
        peak = V::maxKeepingPeak(V::abs(a), peak);
    }
    return peak;
}

// One key on its own, through all frames, in place in the plug-in's arrays:
// the path for sub-blocks too short to pay for copying a key into segments.
template <class V>
void runSingleKey(pelmar& p, int k, int frames, float* outLeft, float* outRight) {
    const int N = p.stringLen[k];
    float* X1 = p.stringPos(k)[0];
    float* X2 = p.stringPos(k)[1];
    float* V1 = p.stringVel(k)[0];
    float* V2 = p.stringVel(k)[1];
    const float K1 = p.stiff1[k];
    const float K2 = p.stiff2[k];
    const float c = p.viscosity[k];
    const float g = p.damping[k];
    const int h = p.hammerPoint[k];
    const int pL = p.pickupLeft[k];
    const int pR = p.pickupRight[k];
    const float threshold = 0.00001f / p.keyFreq[k];
    KeyStrike strike(p, k);

    for (int f = 0; f < frames; ++f) {
        float phi = 0.0f;
        const bool hammer = strike.next(phi);
        typename V::R peak = V::set1(0.0f);
        peak = stepString<V>(X1, V1, N, K1, c, g, hammer, h, phi, peak);
        peak = stepString<V>(X2, V2, N, K2, c, g, hammer, h, phi, peak);
        outLeft[f] = (X1[pL] + X2[pL]) + outLeft[f];
        outRight[f] = (X1[pR] + X2[pR]) + outRight[f];
        // The peak is needed only once the strike is over.
        if (strike.count <= 0 && threshold > V::reduceMax(peak)) {
            p.keyActive[k] = 0;
            break;
        }
    }
    p.forceCount[k] = static_cast<std::int16_t>(strike.count);
}

// A tag for each type of kept group: the types of the builds differ, each
// being local to its own translation unit.
template <class T>
const void* keptTypeTag() {
    static const char tag = 0;
    return &tag;
}

// Runs a group in slot `slot` of the plan cache's room, where the group of
// the same type stays from one sub-block to the next and, while the slot is
// valid, holds its keys' strings. Returns whether every key sounded to the
// end (the strings then stay in the rows).
template <class U>
bool runKept(PlanCache& cache, int slot, pelmar& p, const int* keys, const KeyRun& run, float* const* outLeft,
             float* const* outRight, int frames) {
    static_assert(sizeof(KeyLanes<U>) <= PlanCache::kKeptRunBytes && alignof(KeyLanes<U>) <= 64,
                  "a group fits its slot");
    void* room = static_cast<unsigned char*>(cache.keptLanes) + static_cast<std::size_t>(slot) * PlanCache::kKeptRunBytes;
    KeyLanes<U>* group;
    bool valid = (cache.keptValid >> slot) & 1u;
    if (cache.keptType[slot] != keptTypeTag<KeyLanes<U>>()) {
        if (valid) cache.keptFlush[slot](room);  // another type's strings go back first
        group = new (room) KeyLanes<U>();
        cache.keptType[slot] = keptTypeTag<KeyLanes<U>>();
        cache.keptFlush[slot] = &KeyLanes<U>::flushKept;
        valid = false;
    } else {
        group = std::launder(static_cast<KeyLanes<U>*>(room));
    }
    group->start(p, keys, run.count, run.segment, outLeft, outRight, valid, true);
    return group->run(frames);
}

// What a masked row costs in the lanes of U against a full row (the
// planner's estimate; see LaneWidths).
template <class U>
constexpr float maskedRowCost() {
    if constexpr (requires { U::kMaskedRowCost; })
        return U::kMaskedRowCost;
    else
        return 1.0f;
}

// Runs `jobCount` jobs of the same sub-block as if one after the other, into
// their own buffers: V is the build's vector, N a narrower one for runs of
// few keys (V itself when the build has none). The keys of all the jobs are
// planned together, so jobs that share a thread lose nothing to the split;
// each key's pickups still go to its own job's sums in ascending key order,
// so every job's output has the bits it would have on its own.
template <class V, class N = V>
void runVectorJobs(const VoiceJob* jobs, int jobCount) {
    if (jobCount < 1) return;
    pelmar& p = *jobs[0].plugin;
    const int frames = jobs[0].frames;
    if (frames < 1) return;
    for (int t = 0; t < jobCount; ++t)
        for (int f = 0; f < frames; ++f) {
            jobs[t].outLeft[f] = 0.0f;
            jobs[t].outRight[f] = 0.0f;
        }

    int keys[kNumKeys];
    int lens[kNumKeys];
    float* outLeft[kNumKeys];
    float* outRight[kNumKeys];
    int n = 0;
    // Only the jobs' own keys are read: other workers update theirs
    // meanwhile. A key two jobs name belongs to the first of them.
    signed char owner[kNumKeys];
    std::fill(owner, owner + kNumKeys, static_cast<signed char>(-1));
    for (int t = jobCount - 1; t >= 0; --t) {
        const long long step = jobs[t].keyStep;
        if (step < 1) continue;
        long long k = jobs[t].firstKey;
        if (k < 0) k += (step - 1 - k) / step * step;  // its first key from 0 on
        for (; k < kNumKeys; k += step) owner[k] = static_cast<signed char>(t);
    }
    for (int k = 0; k < kNumKeys; ++k)
        if (owner[k] >= 0 && p.keyActive[k]) {
            const VoiceJob& job = jobs[owner[k]];
            keys[n] = k;
            lens[n] = p.stringLen[k];
            outLeft[n] = job.outLeft;
            outRight[n] = job.outRight;
            ++n;
        }
    const LaneWidths widths{V::kWidth, N::kWidth < V::kWidth ? N::kWidth : 0, maskedRowCost<V>(), maskedRowCost<N>()};
    KeyRun planned[kNumKeys];
    int runCount = 0;
    const KeyRun* runs = planned;
    if (jobs[0].plan)
        runs = planKeyRunsCached(*jobs[0].plan, keys, lens, n, widths, frames, runCount);
    else
        runCount = planKeyRuns(lens, n, widths, frames, planned);

    // The first runs in lanes live in the plan cache's room from one
    // sub-block to the next (kernel_plan.h). A run whose keys all sounded to
    // its end leaves their strings in its rows, and under the same plan the
    // next sub-block starts from them: no copy out and in between. A new
    // plan, and the render loop when another kernel build or split of the
    // work follows, copy them out first.
    PlanCache* cache = jobs[0].plan;
    const bool keeping = cache && cache->keptLanes;
    int laneRun = 0;
    for (int r = 0; r < runCount; ++r) {
        const KeyRun& run = runs[r];
        const int i = run.first;
        if (run.lanes) {
            const int slot = laneRun++;
            if (keeping && slot < PlanCache::kKeptRuns) {
                const bool whole = run.narrow ? runKept<N>(*cache, slot, p, keys + i, run, outLeft + i, outRight + i, frames)
                                              : runKept<V>(*cache, slot, p, keys + i, run, outLeft + i, outRight + i, frames);
                if (whole)
                    cache->keptValid |= 1u << slot;
                else
                    cache->keptValid &= ~(1u << slot);
            } else if (run.narrow) {
                KeyLanes<N> group(p, keys + i, run.count, run.segment, outLeft + i, outRight + i);
                group.run(frames);
            } else {
                KeyLanes<V> group(p, keys + i, run.count, run.segment, outLeft + i, outRight + i);
                group.run(frames);
            }
        } else if (frames >= kSegmentedMinFrames && lens[i] >= 2) {
            SegmentedKey<V> key;
            key.run(p, keys[i], frames, outLeft[i], outRight[i]);
        } else {
            runSingleKey<V>(p, keys[i], frames, outLeft[i], outRight[i]);
        }
    }
}

template <class V, class N = V>
void runVectorKernel(void* arg) {
    runVectorJobs<V, N>(static_cast<const VoiceJob*>(arg), 1);
}

}  // namespace
