// One key on its own for the vector builds of the string kernel (included by
// kernel_simd.h), with each string cut into W equal segments, one segment a
// lane: row r of lane l holds point l * S + r + 1, S rows in all. A row is
// then a vector of points that all move at once, and its right-hand
// neighbours are the next row, loaded exactly as it was stored the sample
// before (a string's points side by side in the lanes would need loads that
// straddle two earlier stores, which the processor cannot forward).
//
// Every point goes through the reference kernel's operations in its order:
// - the link force F(p) between points p and p + 1 comes from the old
//   positions and velocities and is carried from a row to the next; the
//   links from one segment to the next, F(l S), are computed before the
//   first row from the old last row shifted one lane up, with F(0) =
//   -(K X[1] + c V[1]) in lane 0;
// - the last row's neighbours are the old first row shifted one lane down,
//   +0 past the last lane; points from the fixed end N on are +0 and never
//   written, so the last link reads the fixed end as +0 (x - (+0) is x);
// - the hammer force is added in its one lane; the peak |A| counts only the
//   string's own points.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/key_strike.h"
#include "engine/lane_blocks.h"
#include "host/pelmar.h"

namespace {

template <class V>
struct SegmentedKey {
    using R = typename V::R;
    using M = typename V::M;
    static constexpr int W = V::kWidth;
    static constexpr int kMaxRows = (kMaxPoints - 1 + W - 1) / W;

    struct alignas(64) Rows {
        float x[kMaxRows][W];
        float v[kMaxRows][W];
    };

    Rows s[2];
    int rows = 0;      // S
    int fullRows = 0;  // rows r < fullRows have `lanes` points; the others one lane fewer
    int lanes = 0;

    // Row and lane of point p (1..N-1).
    int rowOf(int p) const { return (p - 1) % rows; }
    int laneOf(int p) const { return (p - 1) / rows; }

    // One row: forces, accelerations, then velocities and positions; with
    // kPartial, lanes outside `used` keep their +0; with kPeak the row's |A|
    // widens the peak.
    template <bool kPartial, bool kPeak>
    static inline void row(float* x, float* v, R xn, R vn, R K, R c, R g, R& left, bool struck, M hammerLane,
                           R phi, M used, R& peak) {
        const R xi = V::load(x);
        const R vi = V::load(v);
        const R right = V::add(V::mul(K, V::sub(xi, xn)), V::mul(c, V::sub(vi, vn)));
        R a = V::sub(V::sub(left, right), V::mul(g, vi));
        left = right;
        if (struck) a = V::select(hammerLane, V::add(a, phi), a);
        if (kPartial) {
            const R vNew = V::addWhere(used, vi, a);
            const R xNew = V::addWhere(used, xi, vNew);
            V::store(v, vNew);
            V::store(x, xNew);
            if (kPeak) peak = V::maxWhere(used, V::abs(a), peak);
        } else {
            const R vNew = V::addOnMultiplier(vi, a);
            const R xNew = V::addOnMultiplier(xi, vNew);
            V::store(v, vNew);
            V::store(x, xNew);
            if (kPeak) peak = V::maxKeepingPeak(V::abs(a), peak);
        }
    }

    // The peak only decides whether the key falls silent: once one of its
    // points has shown an |A| of at least the threshold this sample, the
    // peak over all points is too, and the remaining rows skip |A| and the
    // maximum.
    template <bool kPartial>
    static inline void rowWatchingPeak(float* x, float* v, R xn, R vn, R K, R c, R g, R& left, bool struck,
                                       M hammerLane, R phi, M used, R& peak, R threshold, bool& needPeak) {
        if (needPeak) {
            row<kPartial, true>(x, v, xn, vn, K, c, g, left, struck, hammerLane, phi, used, peak);
            if (V::bits(V::less(peak, threshold)) != kAllLanes) needPeak = false;
        } else {
            row<kPartial, false>(x, v, xn, vn, K, c, g, left, struck, hammerLane, phi, used, peak);
        }
    }
    static constexpr unsigned kAllLanes = (1u << W) - 1u;

    // Both strings by one sample; hammerRow -1 when there is no strike.
    // needPeak: whether the peak is still wanted; it stays true only if no
    // point reached the threshold, and then `peak` is the whole maximum.
    template <bool kPartial>
    inline void step(const R* K, R c, R g, int hammerRow, M hammerLane, R phi, M wideRows, M narrowRows, R& peak,
                     R threshold, bool& needPeak) {
        for (int t = 0; t < 2; ++t) {
            float (*x)[W] = s[t].x;
            float (*v)[W] = s[t].v;
            const R first = V::load(x[0]);
            const R firstV = V::load(v[0]);
            // F(l S) in every lane from the old last row, F(0) in lane 0.
            R left = V::add(V::mul(K[t], V::sub(V::shiftUp(V::load(x[rows - 1])), first)),
                            V::mul(c, V::sub(V::shiftUp(V::load(v[rows - 1])), firstV)));
            left = V::select(V::onlyLane(0), V::neg(V::add(V::mul(K[t], first), V::mul(c, firstV))), left);
            for (int r = 0; r + 1 < rows; ++r)
                rowWatchingPeak<kPartial>(x[r], v[r], V::load(x[r + 1]), V::load(v[r + 1]), K[t], c, g, left,
                                          r == hammerRow, hammerLane, phi, r < fullRows ? wideRows : narrowRows, peak,
                                          threshold, needPeak);
            // The last row's neighbours: the old first row one lane down.
            const int r = rows - 1;
            rowWatchingPeak<kPartial>(x[r], v[r], V::shiftDown(first), V::shiftDown(firstV), K[t], c, g, left,
                                      r == hammerRow, hammerLane, phi, r < fullRows ? wideRows : narrowRows, peak,
                                      threshold, needPeak);
        }
    }

    // Advances key k by `frames` samples, adding its pickups to the sums.
    void run(pelmar& p, int k, int frames, float* outLeft, float* outRight) {
        const int N = p.stringLen[k];
        const int moving = N - 1;  // points 1..N-1
        rows = (moving + W - 1) / W;
        lanes = (moving + rows - 1) / rows;
        fullRows = moving - (lanes - 1) * rows;  // rows that reach into the last used lane
        std::memset(s, 0, sizeof s);
        moveAll<true>(p, k, moving);

        const M wideRows = V::firstLanes(lanes);
        const M narrowRows = V::firstLanes(lanes - 1);
        const bool everyLane = lanes == W && fullRows == rows;  // no lane to leave out
        const R K[2] = {V::set1(p.stiff1[k]), V::set1(p.stiff2[k])};
        const R c = V::set1(p.viscosity[k]);
        const R g = V::set1(p.damping[k]);
        const int h = p.hammerPoint[k];
        const int hammerRow = rowOf(h);
        const M hammerLane = V::onlyLane(laneOf(h));
        const int pL = p.pickupLeft[k], pR = p.pickupRight[k];
        const int leftRow = rowOf(pL), leftLane = laneOf(pL);
        const int rightRow = rowOf(pR), rightLane = laneOf(pR);
        const float threshold = 0.00001f / p.keyFreq[k];
        const R thresholdV = V::set1(threshold);
        KeyStrike strike(p, k);

        for (int f = 0; f < frames; ++f) {
            float force = 0.0f;
            const bool hammer = strike.next(force);
            const R phi = V::set1(force);
            R peak = V::set1(0.0f);
            bool needPeak = strike.count <= 0;  // a key being struck does not fall silent
            const int struckRow = hammer ? hammerRow : -1;
            if (everyLane)
                step<false>(K, c, g, struckRow, hammerLane, phi, wideRows, narrowRows, peak, thresholdV, needPeak);
            else
                step<true>(K, c, g, struckRow, hammerLane, phi, wideRows, narrowRows, peak, thresholdV, needPeak);
            outLeft[f] = (s[0].x[leftRow][leftLane] + s[1].x[leftRow][leftLane]) + outLeft[f];
            outRight[f] = (s[0].x[rightRow][rightLane] + s[1].x[rightRow][rightLane]) + outRight[f];
            if (needPeak && threshold > V::reduceMax(peak)) {
                p.keyActive[k] = 0;
                break;
            }
        }
        p.forceCount[k] = static_cast<std::int16_t>(strike.count);
        moveAll<false>(p, k, moving);
    }

    // Moves key k's strings (points 1..moving) in (kIn) or out of the
    // segments: lane l holds points l * S + 1 on. W rows at a time where
    // the vector type transposes blocks (lane_blocks.h), else float by float.
    template <bool kIn>
    void moveAll(pelmar& p, int k, int moving) {
        if constexpr (!kLaneTransposes<V>) {
            for (int q = 1; q <= moving; ++q)
                for (int t = 0; t < 2; ++t) {
                    moveFloat<kIn>(s[t].x[rowOf(q)][laneOf(q)], p.stringPos(k)[t][q]);
                    moveFloat<kIn>(s[t].v[rowOf(q)][laneOf(q)], p.stringVel(k)[t][q]);
                }
        } else {
            int count[W];
            float* at[4][W];
            for (int l = 0; l < W; ++l) {
                const int left = moving - l * rows;
                count[l] = left <= 0 ? 0 : left < rows ? left : rows;
                if (count[l] == 0) continue;
                at[0][l] = p.stringPos(k)[0] + l * rows + 1;
                at[1][l] = p.stringVel(k)[0] + l * rows + 1;
                at[2][l] = p.stringPos(k)[1] + l * rows + 1;
                at[3][l] = p.stringVel(k)[1] + l * rows + 1;
            }
            moveLaneBlocks<V, kIn>(s[0].x, rows, 0, at[0], count);
            moveLaneBlocks<V, kIn>(s[0].v, rows, 0, at[1], count);
            moveLaneBlocks<V, kIn>(s[1].x, rows, 0, at[2], count);
            moveLaneBlocks<V, kIn>(s[1].v, rows, 0, at[3], count);
        }
    }
};

}  // namespace
