// The vector row of t3d_turb, written once over a lane type L and built per
// instruction set (turb_row_avx2.cpp, turb_row_avx512.cpp). Per lane it is
// t3d_turb and t3d_bruit operation for operation: the same products and sums
// in the same order, the lattice point by floor, the table index as the
// non-negative remainder modulo kNoiseTableSize (computed exactly in double
// precision). A vector with any position beyond the integer range, or not
// finite, is handed to the scalar t3d_bruit, which treats those cases.
// The lattice values come from noiseCells: when the whole vector falls in a
// few neighbouring cells (the slow octaves of the long curves, most of the
// work), a load or two hold them and the lanes pick theirs by a permutation;
// otherwise two 64-bit gathers per lane fetch them.
// Internal linkage only: each translation unit keeps its own build.
#pragma once

#include "engine/noise/t3d_noise.h"
#include "engine/noise/turb_row.h"

namespace {

// Positions grow along the lanes, so the lattice points of the first and the
// last lane bound them all. When they lie within L::kNearbyCells cells that
// do not wrap round the table's end, loads the cells' values and returns true.
template <class L>
inline bool nearbyCells(typename L::F lattice, typename L::F& a0, typename L::F& d0, typename L::F& a1,
                        typename L::F& d1) {
    const float first = L::firstLane(lattice);
    const float span = L::lastLane(lattice) - first;
    if (!(span >= 0.0f && span < static_cast<float>(L::kNearbyCells))) return false;
    int cell = static_cast<int>(first) % kNoiseTableSize;
    if (cell < 0) cell += kNoiseTableSize;
    if (cell + L::kNearbyCells > kNoiseTableSize) return false;
    L::permuteCells(&noiseCells[cell][0], L::toInt(L::sub(lattice, L::set1(first))), a0, d0, a1, d1);
    return true;
}

// Out of line: inlined into the octave loop it made the rows slower.
template <class L>
__attribute__((noinline)) typename L::F bruitLanes(typename L::F x) {
    using F = typename L::F;
    const F lattice = L::floor(x);
    if (!L::allInIntRange(lattice)) {
        alignas(64) float in[L::kWidth];
        alignas(64) float out[L::kWidth];
        L::store(in, x);
        for (int lane = 0; lane < L::kWidth; ++lane) out[lane] = t3d_bruit(in[lane]);
        return L::load(out);
    }
    const F u = L::sub(x, lattice);
    F a0, d0, a1, d1;
    if (!nearbyCells<L>(lattice, a0, d0, a1, d1)) L::gatherCell(L::wrap(L::toInt(lattice)), a0, d0, a1, d1);
    // a0 + u * (d0 + u * ((3 (a1 - a0) - 2 d0 - d1) + u * (2 (a0 - a1) + d0 + d1)))
    const F p3 = L::sub(L::sub(L::mul(L::set1(3.0f), L::sub(a1, a0)), L::mul(L::set1(2.0f), d0)), d1);
    const F p2 = L::add(L::add(L::mul(L::set1(2.0f), L::sub(a0, a1)), d0), d1);
    const F inner = L::add(p3, L::mul(u, p2));
    return L::add(a0, L::mul(u, L::add(d0, L::mul(u, inner))));
}

// t3d_turb(i / scale, n, a, b) for positions i .. i + L::kWidth - 1.
template <class L>
inline typename L::F turbLanes(int i, float scale, int n, float a, float b) {
    using F = typename L::F;
    const F x = L::div(L::positions(i), L::set1(scale));
    float frequency = 1.0f;
    float weight = 1.0f;
    F sum = L::set1(0.0f);
    float weights = 0.0f;
    for (int j = 0; j < n; ++j) {
        weight = weight * (1.0f + a);
        const F at = L::add(L::mul(L::set1(frequency), x), L::set1(571.171f * static_cast<float>(j)));
        sum = L::add(sum, L::mul(L::sub(bruitLanes<L>(at), L::set1(0.5f)), L::set1(weight)));
        weights = weights + weight;
        frequency = frequency * (1.0f + b);
    }
    return L::mul(L::div(sum, L::set1(weights)), L::set1(10.0f));
}

template <class L>
void turbRow(float* out, int count, float scale, int n, float a, float b) {
    if (n < 1) {  // a mean over no octave: no noise
        for (int i = 0; i < count; ++i) out[i] = 0.0f;
        return;
    }
    int i = 0;
    for (; i + L::kWidth <= count; i += L::kWidth) L::store(out + i, turbLanes<L>(i, scale, n, a, b));
    if (i < count) {  // the last few positions: a whole vector, of which only they are kept (lanes are independent)
        alignas(64) float last[L::kWidth];
        L::store(last, turbLanes<L>(i, scale, n, a, b));
        for (int l = 0; i + l < count; ++l) out[i + l] = last[l];
    }
}

}  // namespace
