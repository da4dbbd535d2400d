// A group of keys with one key in each vector lane, for the vector builds of
// the string kernel (included by kernel_simd.h). Where a key's points sit in
// the lanes, every vector of a string overlaps the next; with a key per lane,
// point i of all the group's keys is one vector, so each point is loaded
// exactly as it was stored the sample before and no lane shuffles are needed.
//
// Every lane goes through exactly the operations of the reference kernel in
// the same order (no fused multiply-add), so the bits are the same:
// - the group's state is copied into lane-major arrays for the run and
//   copied back after it; points from a key's fixed end on are +0 and are
//   never written, so the last link reads the fixed end as the reference
//   does (x - (+0) is x to the bit);
// - the hammer force is added only in the lanes whose key is struck at that
//   point, the peak |A| only counts a key's own points;
// - a key that falls silent keeps the state of the sample it fell silent
//   at: that lane is copied back at once and left out of the sums after.
// The pickups of a sample are added to its sums lane by lane, in ascending
// key order, after the keys of the groups before.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/key_strike.h"
#include "host/pelmar.h"

namespace {

template <class V>
struct KeyLanes {
    using R = typename V::R;
    using M = typename V::M;
    static constexpr int W = V::kWidth;
    // Points 0..N of the longest string, and one more: the last link force
    // computed ahead reads past the fixed end (+0, never used).
    static constexpr int kRows = kMaxPoints + 2;

    // One string's positions and velocities, point by point, W keys a row.
    struct alignas(64) Rows {
        float x[kRows][W];
        float v[kRows][W];
    };

    pelmar& p;
    const int* keys;
    int count;
    Rows s1, s2;
    int len[W];
    KeyStrike strike[W];
    std::uint32_t active = 0;    // lanes whose key still sounds
    std::uint32_t striking = 0;  // lanes whose key is being struck

    KeyLanes(pelmar& plugin, const int* groupKeys, int n) : p(plugin), keys(groupKeys), count(n) {}

    void copyIn() {
        std::memset(&s1, 0, sizeof s1);
        std::memset(&s2, 0, sizeof s2);
        for (int l = 0; l < W; ++l) len[l] = 0;
        for (int l = 0; l < count; ++l) {
            const int k = keys[l];
            len[l] = p.stringLen[k];
            strike[l] = KeyStrike(p, k);
            active |= 1u << l;
            if (strike[l].count > 0) striking |= 1u << l;
            for (int i = 1; i < len[l]; ++i) {
                s1.x[i][l] = p.stringPos[k][0][i];
                s1.v[i][l] = p.stringVel[k][0][i];
                s2.x[i][l] = p.stringPos[k][1][i];
                s2.v[i][l] = p.stringVel[k][1][i];
            }
        }
    }

    void copyOut(int l) {
        const int k = keys[l];
        for (int i = 1; i < len[l]; ++i) {
            p.stringPos[k][0][i] = s1.x[i][l];
            p.stringVel[k][0][i] = s1.v[i][l];
            p.stringPos[k][1][i] = s2.x[i][l];
            p.stringVel[k][1][i] = s2.v[i][l];
        }
    }

    // The force of the link between points i and i + 1 of one string, from
    // their old positions and velocities.
    static inline R link(float (*x)[W], float (*v)[W], int i, R k, R c) {
        return V::add(V::mul(k, V::sub(V::load(x[i]), V::load(x[i + 1]))),
                      V::mul(c, V::sub(V::load(v[i]), V::load(v[i + 1]))));
    }

    // Point i of one string from the forces of its two links: the
    // acceleration, then velocity and position. With kPeak the point's |A|
    // widens the peak.
    template <bool kHammer, bool kEnd, bool kPeak>
    static inline void update(float (*x)[W], float (*v)[W], int i, R left, R right, R g, R& peak, M hammerAt,
                              R phi, M inString) {
        const R xi = V::load(x[i]);
        const R vi = V::load(v[i]);
        R a = V::sub(V::sub(left, right), V::mul(g, vi));
        if (kHammer) a = V::select(hammerAt, V::add(a, phi), a);
        const R vNew = V::addOnMultiplier(vi, a);
        const R xNew = V::addOnMultiplier(xi, vNew);
        if (kEnd) {  // lanes past a string's last moving point keep their +0
            V::storeWhere(v[i], inString, vNew, vi);
            V::storeWhere(x[i], inString, xNew, xi);
            if (kPeak) peak = V::maxWhere(inString, V::abs(a), peak);
        } else {
            V::store(v[i], vNew);
            V::store(x[i], xNew);
            if (kPeak) peak = V::maxKeepingPeak(V::abs(a), peak);
        }
    }

    // Points from..to-1 of both strings. `force` holds, per string, the
    // forces F(i - 1) and F(i) of point i's links on entry and those of
    // point `to` on return: each link force is computed one point ahead of
    // the point it moves (from points not yet moved). With 32 vector
    // registers the next link comes first in the instruction stream, which
    // keeps the processor's window of waiting operations short; with 16 it
    // comes after the point, as more live values would spill. The forces and the
    // peak live in locals through the loop: the vector types may alias the
    // float stores, so through the pointers they would go to memory and back
    // at every point.
    static constexpr bool kLinkFirst = V::kRegisters >= 32;
    template <bool kHammer, bool kEnd, bool kPeak>
    inline void rows(int from, int to, const R* k, R c, R g, R (*force)[2], R& peak, R hammerPoint, R phi,
                     R lenV) {
        const R k1 = k[0], k2 = k[1];
        R left1 = force[0][0], right1 = force[0][1], left2 = force[1][0], right2 = force[1][1], top = peak;
#pragma GCC unroll 2
        for (int i = from; i < to; ++i) {
            const R at = V::set1(static_cast<float>(i));
            const M hammerAt = kHammer ? V::equal(hammerPoint, at) : M{};
            const M inString = kEnd ? V::less(at, lenV) : M{};
            R next1, next2;
            if constexpr (kLinkFirst) next1 = link(s1.x, s1.v, i + 1, k1, c);
            update<kHammer, kEnd, kPeak>(s1.x, s1.v, i, left1, right1, g, top, hammerAt, phi, inString);
            if constexpr (!kLinkFirst) next1 = link(s1.x, s1.v, i + 1, k1, c);
            left1 = right1;
            right1 = next1;
            if constexpr (kLinkFirst) next2 = link(s2.x, s2.v, i + 1, k2, c);
            update<kHammer, kEnd, kPeak>(s2.x, s2.v, i, left2, right2, g, top, hammerAt, phi, inString);
            if constexpr (!kLinkFirst) next2 = link(s2.x, s2.v, i + 1, k2, c);
            left2 = right2;
            right2 = next2;
        }
        force[0][0] = left1;
        force[0][1] = right1;
        force[1][0] = left2;
        force[1][1] = right2;
        peak = top;
    }

    // The peak only decides whether a key falls silent, so it is needed only
    // while some key that may fall silent (`watched`) has not yet shown an
    // |A| of at least its threshold this sample: the peak over all points is
    // at least the peak over those seen so far. Once every watched key has,
    // the remaining points skip |A| and the maximum, which cost about a
    // sixth of a point's vector operations.
    static constexpr int kPeakCheckRows = 4;
    template <bool kHammer, bool kEnd>
    inline void points(int from, int to, const R* k, R c, R g, R (*force)[2], R& peak, R hammerPoint, R phi,
                       R lenV, R threshold, std::uint32_t watched, bool& needPeak) {
        while (needPeak && from < to) {
            const int end = to - from > kPeakCheckRows ? from + kPeakCheckRows : to;
            rows<kHammer, kEnd, true>(from, end, k, c, g, force, peak, hammerPoint, phi, lenV);
            from = end;
            if ((V::bits(V::less(peak, threshold)) & watched) == 0) needPeak = false;
        }
        rows<kHammer, kEnd, false>(from, to, k, c, g, force, peak, hammerPoint, phi, lenV);
    }

    // Advances the group by `frames` samples, adding its pickups to the sums.
    void run(int frames, float* outLeft, float* outRight) {
        copyIn();
        alignas(64) float laneK1[W], laneK2[W], laneC[W], laneG[W], laneLen[W], laneThreshold[W];
        alignas(64) float laneHammer[W], lanePhi[W];
        int shortest = kRows, longestLen = 0;
        for (int l = 0; l < W; ++l) {
            const bool used = l < count;
            const int k = used ? keys[l] : 0;
            laneK1[l] = used ? p.stiff1[k] : 0.0f;
            laneK2[l] = used ? p.stiff2[k] : 0.0f;
            laneC[l] = used ? p.viscosity[k] : 0.0f;
            laneG[l] = used ? p.damping[k] : 0.0f;
            laneLen[l] = static_cast<float>(len[l]);
            laneThreshold[l] = used ? 0.00001f / p.keyFreq[k] : 0.0f;
            if (used && len[l] < shortest) shortest = len[l];
            if (len[l] > longestLen) longestLen = len[l];
        }
        int hammerFirst = kRows, hammerLast = -1;
        for (int l = 0; l < count; ++l) {
            const int h = p.hammerPoint[keys[l]];
            if (h < hammerFirst) hammerFirst = h;
            if (h > hammerLast) hammerLast = h;
        }
        const R k[2] = {V::load(laneK1), V::load(laneK2)};
        const R c = V::load(laneC);
        const R g = V::load(laneG);
        const R lenV = V::load(laneLen);
        const R threshold = V::load(laneThreshold);
        int pickLeft[W], pickRight[W];
        for (int l = 0; l < count; ++l) {
            pickLeft[l] = p.pickupLeft[keys[l]];
            pickRight[l] = p.pickupRight[keys[l]];
        }

        for (int f = 0; f < frames; ++f) {
            bool hammer = false;
            if (striking) {
                for (int l = 0; l < W; ++l) {
                    laneHammer[l] = -1.0f;
                    lanePhi[l] = -0.0f;
                }
                for (std::uint32_t m = striking; m; m &= m - 1) {
                    const int l = __builtin_ctz(m);
                    strike[l].next(lanePhi[l]);
                    laneHammer[l] = static_cast<float>(p.hammerPoint[keys[l]]);
                    if (strike[l].count <= 0) striking &= ~(1u << l);
                }
                hammer = true;
            }
            const R hammerPoint = V::load(laneHammer);
            const R phi = V::load(lanePhi);
            // Per string F(0) = -(K X[1] + c V[1]), the link to the fixed end,
            // and F(1).
            R force[2][2];
            for (int s = 0; s < 2; ++s) {
                auto& rows = s == 0 ? s1 : s2;
                force[s][0] = V::neg(V::add(V::mul(k[s], V::load(rows.x[1])), V::mul(c, V::load(rows.v[1]))));
                force[s][1] = link(rows.x, rows.v, 1, k[s], c);
            }
            R peak = V::set1(0.0f);
            const std::uint32_t watched = active & ~striking;  // keys that may fall silent this sample
            bool needPeak = watched != 0;
            // Points every key of the group has, then those only the longer
            // strings have; only the hammer's points look for a strike.
            const int hFrom = hammer ? hammerFirst : kRows, hTo = hammer ? hammerLast + 1 : kRows;
            auto span = [&](int from, int to, auto end) {
                constexpr bool kEnd = decltype(end)::value;
                const int h0 = hFrom < from ? from : hFrom > to ? to : hFrom;
                const int h1 = hTo < h0 ? h0 : hTo > to ? to : hTo;
                points<false, kEnd>(from, h0, k, c, g, force, peak, hammerPoint, phi, lenV, threshold, watched, needPeak);
                points<true, kEnd>(h0, h1, k, c, g, force, peak, hammerPoint, phi, lenV, threshold, watched, needPeak);
                points<false, kEnd>(h1, to, k, c, g, force, peak, hammerPoint, phi, lenV, threshold, watched, needPeak);
            };
            span(1, shortest, std::false_type{});
            span(shortest, longestLen, std::true_type{});

            float sL = outLeft[f];
            float sR = outRight[f];
            for (std::uint32_t m = active; m; m &= m - 1) {
                const int l = __builtin_ctz(m);
                sL = (s1.x[pickLeft[l]][l] + s2.x[pickLeft[l]][l]) + sL;
                sR = (s1.x[pickRight[l]][l] + s2.x[pickRight[l]][l]) + sR;
            }
            outLeft[f] = sL;
            outRight[f] = sR;

            // Keys that barely move any more, once their strike is over (none
            // when every watched key reached its threshold early).
            std::uint32_t quiet = needPeak ? V::bits(V::less(peak, threshold)) & watched : 0;
            if (quiet) {
                for (std::uint32_t m = quiet; m; m &= m - 1) {
                    const int l = __builtin_ctz(m);
                    copyOut(l);
                    p.keyActive[keys[l]] = 0;
                    p.forceCount[keys[l]] = static_cast<std::int16_t>(strike[l].count);
                }
                active &= ~quiet;
                if (!active) return;
            }
        }
        for (std::uint32_t m = active; m; m &= m - 1) {
            const int l = __builtin_ctz(m);
            copyOut(l);
            p.forceCount[keys[l]] = static_cast<std::int16_t>(strike[l].count);
        }
    }
};

}  // namespace
