// A group of keys with one key in each vector lane, for the vector builds of
// the string kernel (included by kernel_simd.h). Where a key's points sit in
// the lanes, every vector of a string overlaps the next; with a key per lane,
// point i of all the group's keys is one vector, so each point is loaded
// exactly as it was stored the sample before and no lane shuffles are needed.
//
// Every lane goes through exactly the operations of the reference kernel in
// the same order (no product fused into an addition), so the bits are the same:
// - the group's state is copied into lane-major arrays for the run and
//   copied back after it (or, for a group kept from one sub-block to the
//   next, left there while every key sounds: see kernel_simd.h); points
//   from a key's fixed end on are +0 and keep it (their rows are stored
//   whole, the additions masked to the lanes with a point there), so the
//   last link reads the fixed end as the reference does (x - (+0) is x to
//   the bit);
// - the hammer force is added only in the lanes whose key is struck at that
//   point, the peak |A| only counts a key's own points;
// - a key that falls silent keeps the state of the sample it fell silent
//   at: its lanes are copied back at once and left out of the sums after.
// The pickups of a sample are added to its sums lane by lane, in ascending
// key order, after the keys of the groups before.
//
// A long string among short ones would leave lanes idle for most rows, so a
// group may cut its keys' strings into segments of `segment` points, one
// segment a lane, the segments of a key in neighbouring lanes (as a key on
// its own is cut in kernel_segmented_key.h). Before each sample, from the old
// state: row segment + 1 of a lane whose string goes on holds the next
// lane's first point (+0 where the string ends), and the link into a lane's
// first point comes from the previous lane's last point, shifted one lane up
// (F(0) = -(K X[1] + c V[1]) where the string begins).
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "engine/key_strike.h"
#include "engine/lane_blocks.h"
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

    pelmar* plugin = nullptr;
    int count = 0;
    int segment = 0;  // points per lane of keys cut into segments; 0: a key a lane
    Rows s1, s2;
    bool kept = false;  // s1 and s2 already hold the keys' strings (see start)
    bool keep = false;  // leave the strings in s1 and s2 after a run (see run)
    int keys[W];  // the group's keys, ascending
    // Per key j: its first lane, its lanes, and points per lane.
    int keyLane[W];
    std::uint32_t keyLanes[W];
    int keyPoints[W];
    int len[W];  // per lane: its points + 1 (its row of +0), 0 for an unused lane
    KeyStrike strike[W];
    std::uint32_t active = 0;     // keys that still sound
    std::uint32_t striking = 0;   // keys being struck
    std::uint32_t continues = 0;  // lanes whose string goes on in the next lane
    std::uint32_t begins = 0;     // lanes that hold their string's point 1
    // Per row: the lanes whose string has a moving point there (read from
    // memory in the rows past the shortest lane, the mask costs no vector
    // operation).
    M inStringAt[kRows];

    // Where each key's pickups are summed: keys with the same pair of
    // buffers form a group, added in ascending key order.
    float* const* keyOutLeft = nullptr;
    float* const* keyOutRight = nullptr;
    std::uint32_t sameOutput[W];  // per group: its keys
    int groups = 0;
    int byGroup[W];   // the keys group by group, each group's in ascending order
    int groupEnd[W];  // per group: where its keys end in byGroup
    float* groupOutLeft[W];
    float* groupOutRight[W];  // per group: its buffers
    int pickLeftByGroup[W], pickRightByGroup[W];  // pickLeft / pickRight in byGroup's order
    int pickLeft[W], pickRight[W];  // per key: row * W + lane of its pickups

    // Where every key's pickups on a side sit in a few rows (keys of one
    // length, or a string's segments cut alike), a sample's pickups of a
    // side are one vector, X1 + X2 of those rows, lane by lane. W samples'
    // vectors are turned on their side (a transpose) and added to the sums
    // a key at a time, W samples at once: each sample still gets its keys'
    // pickups in ascending key order, with the reference's additions. Runs
    // of fewer keys add theirs one by one, which costs them less than the
    // call a sample below.
    static constexpr int kMaxPickupRows = 2;
    static constexpr int kMinPickupVectorKeys = 12;
    bool pickupVectors = false;
    int pickupRows[2] = {0, 0};  // per side: its distinct rows
    int pickupRow[2][kMaxPickupRows];
    M pickupRowLanes[2][kMaxPickupRows];  // per side and row: the lanes with a pickup there
    int pickupLane[2][W];                 // per side and key: the lane of its pickup
    alignas(64) float pickupSums[2][W][W];  // per side: sample, then lane
    int pickupFirst = 0, pickupCount = 0;   // the samples waiting in pickupSums

    KeyLanes() = default;
    KeyLanes(pelmar& p, const int* groupKeys, int n, int pointsPerLane, float* const* outLeft,
             float* const* outRight) {
        start(p, groupKeys, n, pointsPerLane, outLeft, outRight, false, false);
    }

    // Sets the group up for a run. outLeft / outRight: per key, the buffers
    // its pickups are added to. With keptRows, the rows still hold the
    // strings as the last run of these keys, in this layout, left them; with
    // keepRows, a run whose keys all sound to its end leaves them there
    // (a group kept from one sub-block to the next, see kernel_simd.h).
    void start(pelmar& p, const int* groupKeys, int n, int pointsPerLane, float* const* outLeft,
               float* const* outRight, bool keptRows, bool keepRows) {
        plugin = &p;
        for (int j = 0; j < n && j < W; ++j) keys[j] = groupKeys[j];
        count = n;
        segment = pointsPerLane;
        kept = keptRows;
        keep = keepRows;
        keyOutLeft = outLeft;
        keyOutRight = outRight;
        active = striking = continues = begins = 0;
        groups = 0;
        pickupVectors = false;
        pickupRows[0] = pickupRows[1] = 0;
        pickupFirst = pickupCount = 0;
        int groupOf[W];
        for (int j = 0; j < count; ++j) {
            groupOf[j] = groups;
            for (int i = 0; i < j; ++i)
                if (keyOutLeft[i] == keyOutLeft[j] && keyOutRight[i] == keyOutRight[j]) {
                    groupOf[j] = groupOf[i];
                    break;
                }
            if (groupOf[j] == groups) sameOutput[groups++] = 0;
            sameOutput[groupOf[j]] |= 1u << j;
        }
        int at = 0;
        for (int group = 0; group < groups; ++group) {
            for (std::uint32_t m = sameOutput[group]; m; m &= m - 1) byGroup[at++] = __builtin_ctz(m);
            groupEnd[group] = at;
            groupOutLeft[group] = keyOutLeft[__builtin_ctz(sameOutput[group])];
            groupOutRight[group] = keyOutRight[__builtin_ctz(sameOutput[group])];
        }
    }

    // Lane and row of point q (1..N-1) of key j.
    int laneOf(int j, int q) const { return keyLane[j] + (q - 1) / keyPoints[j]; }
    int rowOf(int j, int q) const { return (q - 1) % keyPoints[j] + 1; }

    void copyIn() {
        pelmar& p = *plugin;
        if (!kept) {
            // Only the rows the run reaches are cleared: up to the longest
            // lane's fixed end and the row after it, which the last link
            // computed ahead reads.
            int most = 1;
            for (int j = 0; j < count; ++j) {
                const int moving = p.stringLen[keys[j]] - 1;
                const int points = segment > 0 && moving > segment ? segment : moving;
                if (points > most) most = points;
            }
            const std::size_t rowBytes =
                static_cast<std::size_t>(most + 3 < kRows ? most + 3 : kRows) * sizeof s1.x[0];
            std::memset(s1.x, 0, rowBytes);
            std::memset(s1.v, 0, rowBytes);
            std::memset(s2.x, 0, rowBytes);
            std::memset(s2.v, 0, rowBytes);
        }
        for (int l = 0; l < W; ++l) len[l] = 0;
        int lane = 0;
        for (int j = 0; j < count; ++j) {
            const int k = keys[j];
            const int moving = p.stringLen[k] - 1;
            keyPoints[j] = segment > 0 && moving > segment ? segment : moving > 0 ? moving : 1;
            const int lanes = (moving + keyPoints[j] - 1) / keyPoints[j];
            keyLane[j] = lane;
            keyLanes[j] = 0;
            for (int l = lane; l < lane + lanes && l < W; ++l) {
                keyLanes[j] |= 1u << l;
                const int points = moving - (l - lane) * keyPoints[j];
                len[l] = (points < keyPoints[j] ? points : keyPoints[j]) + 1;
                if (l + 1 < lane + lanes) continues |= 1u << l;
            }
            if (lanes < 1) {  // a string without moving points still holds its lane
                len[lane] = 1;
                keyLanes[j] = 1u << lane;
            }
            begins |= 1u << lane;
            lane += lanes > 0 ? lanes : 1;
            strike[j] = KeyStrike(p, k);
            active |= 1u << j;
            if (strike[j].count > 0) striking |= 1u << j;
        }
        if (!kept) moveStrings<true>(active);
    }

    // Moves the strings of keys `which` in (kIn) or out of the lanes: a
    // block at a time where the vector type transposes blocks
    // (lane_blocks.h), else float by float.
    template <bool kIn>
    void moveStrings(std::uint32_t which) {
        pelmar& p = *plugin;
        if constexpr (!kLaneTransposes<V>) {
            for (std::uint32_t m = which; m; m &= m - 1) {
                const int j = __builtin_ctz(m);
                const int k = keys[j];
                for (std::uint32_t lanes = keyLanes[j]; lanes; lanes &= lanes - 1) {
                    const int l = __builtin_ctz(lanes);
                    const int before = (l - keyLane[j]) * keyPoints[j];  // points in the key's earlier lanes
                    for (int r = 1; r < len[l]; ++r) {
                        moveFloat<kIn>(s1.x[r][l], p.stringPos(k)[0][before + r]);
                        moveFloat<kIn>(s1.v[r][l], p.stringVel(k)[0][before + r]);
                        moveFloat<kIn>(s2.x[r][l], p.stringPos(k)[1][before + r]);
                        moveFloat<kIn>(s2.v[r][l], p.stringVel(k)[1][before + r]);
                    }
                }
            }
        } else {
            float* at[4][W];
            int points[W];  // per lane: its moving points, rows 1..len[l]-1
            for (int l = 0; l < W; ++l) points[l] = 0;
            for (std::uint32_t m = which; m; m &= m - 1) {
                const int j = __builtin_ctz(m);
                const int k = keys[j];
                for (std::uint32_t lanes = keyLanes[j]; lanes; lanes &= lanes - 1) {
                    const int l = __builtin_ctz(lanes);
                    const int next = (l - keyLane[j]) * keyPoints[j] + 1;  // the lane's first point
                    at[0][l] = p.stringPos(k)[0] + next;
                    at[1][l] = p.stringVel(k)[0] + next;
                    at[2][l] = p.stringPos(k)[1] + next;
                    at[3][l] = p.stringVel(k)[1] + next;
                    points[l] = len[l] - 1;
                }
            }
            moveLaneBlocks<V, kIn>(s1.x, kRows, 1, at[0], points);
            moveLaneBlocks<V, kIn>(s1.v, kRows, 1, at[1], points);
            moveLaneBlocks<V, kIn>(s2.x, kRows, 1, at[2], points);
            moveLaneBlocks<V, kIn>(s2.v, kRows, 1, at[3], points);
        }
    }

    // Keys all of whose lanes are set in laneBits.
    std::uint32_t wholeKeys(std::uint32_t laneBits) const {
        if (segment == 0) return laneBits & ((1u << count) - 1u);  // key j is lane j
        std::uint32_t keysSet = 0;
        for (int j = 0; j < count; ++j)
            if ((laneBits & keyLanes[j]) == keyLanes[j]) keysSet |= 1u << j;
        return keysSet;
    }

    // Whether the build has a half-width vector (V::Half). Lanes hold keys
    // in ascending order, the longer strings in the lower lanes: the rows
    // past every upper-half lane's string move only the lower half, which
    // the half vector does in about three quarters of the time.
    static constexpr bool kHasHalf = requires { typename V::Half; };
    static constexpr int kHalfMinRows = 8;
    template <class U>
    typename U::M inStringMask(int i) const {
        if constexpr (std::is_same_v<U, V>)
            return inStringAt[i];
        else
            return U::low(inStringAt[i]);
    }

    // The force of the link between points i and i + 1 of one string, from
    // their old positions and velocities, in vector type U (V or its half).
    template <class U = V>
    static inline typename U::R link(float (*x)[W], float (*v)[W], int i, typename U::R k, typename U::R c) {
        return U::add(U::mul(k, U::sub(U::load(x[i]), U::load(x[i + 1]))),
                      U::mul(c, U::sub(U::load(v[i]), U::load(v[i + 1]))));
    }

    // Point i of one string from the forces of its two links: the
    // acceleration, then velocity and position. With kPeak the point's |A|
    // widens the peak.
    template <class U, bool kHammer, bool kEnd, bool kPeak, class UR = typename U::R, class UM = typename U::M>
    static inline void update(float (*x)[W], float (*v)[W], int i, UR left, UR right, UR g, UR& peak, UM hammerAt,
                              UR phi, UM inString) {
        const UR xi = U::load(x[i]);
        const UR vi = U::load(v[i]);
        UR a = U::sub(U::sub(left, right), U::mul(g, vi));
        if (kHammer) a = U::select(hammerAt, U::add(a, phi), a);
        if (kEnd) {  // lanes past a string's last moving point keep their +0
            const UR vNew = U::addWhere(inString, vi, a);
            const UR xNew = U::addWhere(inString, xi, vNew);
            U::store(v[i], vNew);
            U::store(x[i], xNew);
            if (kPeak) peak = U::maxWhere(inString, U::abs(a), peak);
        } else {
            const UR vNew = U::addOnMultiplier(vi, a);
            const UR xNew = U::addOnMultiplier(xi, vNew);
            U::store(v[i], vNew);
            U::store(x[i], xNew);
            if (kPeak) peak = U::maxKeepingPeak(U::abs(a), peak);
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
    template <class U, bool kHammer, bool kEnd, bool kPeak, class UR = typename U::R>
    inline void rows(int from, int to, const UR* k, UR c, UR g, UR (*force)[2], UR& peak, UR hammerPoint, UR phi) {
        using UM = typename U::M;
        constexpr bool kLinkFirst = U::kRegisters >= 32;
        const UR k1 = k[0], k2 = k[1];
        UR left1 = force[0][0], right1 = force[0][1], left2 = force[1][0], right2 = force[1][1], top = peak;
#pragma GCC unroll 2
        for (int i = from; i < to; ++i) {
            const UM hammerAt = kHammer ? U::equal(hammerPoint, U::set1(static_cast<float>(i))) : UM{};
            const UM inString = kEnd ? inStringMask<U>(i) : UM{};
            UR next1, next2;
            if constexpr (kLinkFirst) next1 = link<U>(s1.x, s1.v, i + 1, k1, c);
            update<U, kHammer, kEnd, kPeak>(s1.x, s1.v, i, left1, right1, g, top, hammerAt, phi, inString);
            if constexpr (!kLinkFirst) next1 = link<U>(s1.x, s1.v, i + 1, k1, c);
            left1 = right1;
            right1 = next1;
            if constexpr (kLinkFirst) next2 = link<U>(s2.x, s2.v, i + 1, k2, c);
            update<U, kHammer, kEnd, kPeak>(s2.x, s2.v, i, left2, right2, g, top, hammerAt, phi, inString);
            if constexpr (!kLinkFirst) next2 = link<U>(s2.x, s2.v, i + 1, k2, c);
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
    // sixth of a point's vector operations. A sounding string mostly shows
    // it at its first point, so the first test comes after one row (mostly
    // done in line ahead of the row loops, see run); should it fail, the
    // tests come every few rows, as such a key is likely to stay below its
    // threshold a while.
    static constexpr int kPeakCheckRows = 4;

    // Whether every watched key has shown an |A| of at least its threshold.
    // Mostly every lane has: one test of the lanes then spares the test key
    // by key.
    bool peakSettled(R peak, R threshold, std::uint32_t watched, std::uint32_t watchedLanes) const {
        const std::uint32_t below = V::bits(V::less(peak, threshold));
        return (below & watchedLanes) == 0 || (wholeKeys(below) & watched) == 0;
    }

    template <bool kHammer, bool kEnd>
    inline void points(int from, int to, const R* k, R c, R g, R (*force)[2], R& peak, R hammerPoint, R phi,
                       R threshold, std::uint32_t watched, std::uint32_t watchedLanes, bool& needPeak,
                       bool& firstTest) {
        while (needPeak && from < to) {
            const int window = firstTest ? 1 : kPeakCheckRows;
            firstTest = false;
            const int end = to - from > window ? from + window : to;
            rows<V, kHammer, kEnd, true>(from, end, k, c, g, force, peak, hammerPoint, phi);
            from = end;
            if (peakSettled(peak, threshold, watched, watchedLanes)) needPeak = false;
        }
        rows<V, kHammer, kEnd, false>(from, to, k, c, g, force, peak, hammerPoint, phi);
    }

    // Rows from..to-1 in the lower half of the lanes only, each ending
    // string's last rows kept as in the full width; the hammer's rows
    // hFrom..hTo-1. The peak is no longer needed there.
    template <class H>
    inline void halfSpan(int from, int to, const R* k, R c, R g, R (*force)[2], int hFrom, int hTo, R hammerPoint,
                         R phi) {
        using HR = typename H::R;
        const HR hk[2] = {H::low(k[0]), H::low(k[1])};
        const HR hc = H::low(c), hg = H::low(g), hHammer = H::low(hammerPoint), hPhi = H::low(phi);
        HR hforce[2][2] = {{H::low(force[0][0]), H::low(force[0][1])}, {H::low(force[1][0]), H::low(force[1][1])}};
        HR unused = H::set1(0.0f);
        const int h0 = hFrom < from ? from : hFrom > to ? to : hFrom;
        const int h1 = hTo < h0 ? h0 : hTo > to ? to : hTo;
        rows<H, false, true, false>(from, h0, hk, hc, hg, hforce, unused, hHammer, hPhi);
        rows<H, true, true, false>(h0, h1, hk, hc, hg, hforce, unused, hHammer, hPhi);
        rows<H, false, true, false>(h1, to, hk, hc, hg, hforce, unused, hHammer, hPhi);
    }

    // Notes the pickups of sample f as one vector a side; every W samples
    // they are added to the sums. These three stay out of line: inlined,
    // they change how the compiler lays out the row loops of run, which
    // then lose more than the calls cost.
    __attribute__((noinline)) void notePickups(int f) {
        for (int side = 0; side < 2; ++side) {
            R sum = V::add(V::load(s1.x[pickupRow[side][0]]), V::load(s2.x[pickupRow[side][0]]));
            for (int r = 1; r < pickupRows[side]; ++r) {
                const int row = pickupRow[side][r];
                sum = V::select(pickupRowLanes[side][r], V::add(V::load(s1.x[row]), V::load(s2.x[row])), sum);
            }
            V::store(pickupSums[side][pickupCount], sum);
        }
        if (pickupCount++ == 0) pickupFirst = f;
        if (pickupCount == W) flushPickups();
    }

    // Adds the noted samples' pickups of the sounding keys to the sums.
    __attribute__((noinline)) void flushPickups() {
        if (pickupCount == 0) return;
        if constexpr (kLaneTransposes<V>) for (int side = 0; side < 2; ++side) {
            R lanes[W];
            for (int t = 0; t < W; ++t) lanes[t] = V::load(pickupSums[side][t]);
            V::transpose(lanes);  // lanes[l]: lane l's sums, sample by sample
            for (int group = 0; group < groups; ++group) {  // each job's keys into its own sums
                const std::uint32_t sounding = sameOutput[group] & active;
                if (!sounding) continue;
                float* out = (side == 0 ? groupOutLeft[group] : groupOutRight[group]) + pickupFirst;
                R sum = pickupCount == W ? V::load(out) : V::loadPart(out, pickupCount);
                for (std::uint32_t m = sounding; m; m &= m - 1) sum = V::add(lanes[pickupLane[side][__builtin_ctz(m)]], sum);
                if (pickupCount == W)
                    V::store(out, sum);
                else
                    V::storePart(out, sum, pickupCount);
            }
        }
        pickupCount = 0;
    }

    // Whether this group's pickups fit notePickups, and its rows and lanes.
    __attribute__((noinline)) void planPickups() {
        if constexpr (kLaneTransposes<V>) {
            if (count < kMinPickupVectorKeys) return;
            for (int side = 0; side < 2; ++side) {
                std::uint32_t rowLanes[kMaxPickupRows] = {};
                for (int j = 0; j < count; ++j) {
                    const int at = side == 0 ? pickLeft[j] : pickRight[j];
                    const int row = at / W, lane = at % W;
                    pickupLane[side][j] = lane;
                    int r = 0;
                    while (r < pickupRows[side] && pickupRow[side][r] != row) ++r;
                    if (r == kMaxPickupRows) return;
                    if (r == pickupRows[side]) pickupRow[side][pickupRows[side]++] = row;
                    rowLanes[r] |= 1u << lane;
                }
                alignas(64) float inRow[W];
                for (int r = 0; r < pickupRows[side]; ++r) {
                    for (int l = 0; l < W; ++l) inRow[l] = (rowLanes[r] >> l) & 1u ? 1.0f : 0.0f;
                    pickupRowLanes[side][r] = V::less(V::set1(0.0f), V::load(inRow));
                }
            }
            pickupVectors = true;
        }
    }

    // Adds the pickups of sample f to the outputs, each sounding key's
    // (X1[p] + X2[p]) in ascending key order, as the reference adds them.
    // Out of line, as the three above, and for the same reason.
    __attribute__((noinline)) void addPickups(int f) const {
        const float* x1 = &s1.x[0][0];
        const float* x2 = &s2.x[0][0];
        // The usual case, every key sounding into one output, on its own:
        // the compiler unrolls it over the key count (2 % faster for keys
        // 72-87 than the loop over groups below).
        if (groups == 1 && active == (1u << count) - 1u) {
            float sL = keyOutLeft[0][f];
            float sR = keyOutRight[0][f];
            for (int j = 0; j < count; ++j) {
                sL = (x1[pickLeft[j]] + x2[pickLeft[j]]) + sL;
                sR = (x1[pickRight[j]] + x2[pickRight[j]]) + sR;
            }
            keyOutLeft[0][f] = sL;
            keyOutRight[0][f] = sR;
            return;
        }
        if (active == (1u << count) - 1u && groups == 2) {
            // Every key sounds, into two jobs' outputs (two workers' keys run
            // together): each group's keys in turn, byGroup's order.
            const int end0 = groupEnd[0];
            float sL = groupOutLeft[0][f];
            float sR = groupOutRight[0][f];
            int i = 0;
            for (; i < end0; ++i) {
                sL = (x1[pickLeftByGroup[i]] + x2[pickLeftByGroup[i]]) + sL;
                sR = (x1[pickRightByGroup[i]] + x2[pickRightByGroup[i]]) + sR;
            }
            groupOutLeft[0][f] = sL;
            groupOutRight[0][f] = sR;
            sL = groupOutLeft[1][f];
            sR = groupOutRight[1][f];
            for (; i < count; ++i) {
                sL = (x1[pickLeftByGroup[i]] + x2[pickLeftByGroup[i]]) + sL;
                sR = (x1[pickRightByGroup[i]] + x2[pickRightByGroup[i]]) + sR;
            }
            groupOutLeft[1][f] = sL;
            groupOutRight[1][f] = sR;
            return;
        }
        for (int group = 0; group < groups; ++group) {
            const std::uint32_t sounding = sameOutput[group] & active;
            if (!sounding) continue;
            const int first = __builtin_ctz(sounding);
            float sL = keyOutLeft[first][f];
            float sR = keyOutRight[first][f];
            for (std::uint32_t m = sounding; m; m &= m - 1) {
                const int j = __builtin_ctz(m);
                sL = (x1[pickLeft[j]] + x2[pickLeft[j]]) + sL;
                sR = (x1[pickRight[j]] + x2[pickRight[j]]) + sR;
            }
            keyOutLeft[first][f] = sL;
            keyOutRight[first][f] = sR;
        }
    }

    // Copies the strings of a kept group out of its rows.
    static void flushKept(void* group) {
        KeyLanes& lanes = *std::launder(static_cast<KeyLanes*>(group));
        lanes.template moveStrings<false>(lanes.active);
    }

    // Advances the group by `frames` samples, adding its pickups to the sums.
    // Returns whether every key sounded to the end. With `keep` the rows
    // then still hold the strings, which are not copied out, and the next
    // sub-block may start from them; a key that fell silent was copied out
    // at that sample while its lanes moved on, so then all are copied out.
    bool run(int frames) {
        pelmar& p = *plugin;
        copyIn();
        alignas(64) float laneK1[W], laneK2[W], laneC[W], laneG[W], laneLen[W], laneThreshold[W];
        alignas(64) float laneHammer[W], lanePhi[W], laneContinues[W], laneBegins[W];
        for (int l = 0; l < W; ++l) {
            laneK1[l] = laneK2[l] = laneC[l] = laneG[l] = laneThreshold[l] = 0.0f;
            laneLen[l] = static_cast<float>(len[l]);
            laneContinues[l] = (continues >> l) & 1u ? 1.0f : 0.0f;
            laneBegins[l] = (begins >> l) & 1u ? 1.0f : 0.0f;
        }
        int shortest = kRows, longestLen = 0;
        int hammerLane[W], hammerRow[W];
        int hammerFirst = kRows, hammerLast = -1;
        for (int j = 0; j < count; ++j) {
            const int k = keys[j];
            for (std::uint32_t m = keyLanes[j]; m; m &= m - 1) {
                const int l = __builtin_ctz(m);
                laneK1[l] = p.stiff1[k];
                laneK2[l] = p.stiff2[k];
                laneC[l] = p.viscosity[k];
                laneG[l] = p.damping[k];
                laneThreshold[l] = 0.00001f / p.keyFreq[k];
                if (len[l] < shortest) shortest = len[l];
                if (len[l] > longestLen) longestLen = len[l];
            }
            // The hammer and the pickups sit on moving points (1..N-1).
            const int h = p.hammerPoint[k];
            hammerLane[j] = laneOf(j, h);
            hammerRow[j] = rowOf(j, h);
            if (hammerRow[j] < hammerFirst) hammerFirst = hammerRow[j];
            if (hammerRow[j] > hammerLast) hammerLast = hammerRow[j];
            const int pL = p.pickupLeft[k], pR = p.pickupRight[k];
            pickLeft[j] = rowOf(j, pL) * W + laneOf(j, pL);
            pickRight[j] = rowOf(j, pR) * W + laneOf(j, pR);
        }
        for (int i = 0; i < count; ++i) {
            pickLeftByGroup[i] = pickLeft[byGroup[i]];
            pickRightByGroup[i] = pickRight[byGroup[i]];
        }
        planPickups();
        // From this row on only the lower half of the lanes has moving
        // points; a tail of a few rows does not pay for a loop of its own.
        int halfFrom = longestLen;
        if constexpr (kHasHalf) {
            int upper = shortest;
            for (int l = W / 2; l < W; ++l)
                if (len[l] > upper) upper = len[l];
            if (longestLen - upper >= kHalfMinRows) halfFrom = upper;
        }
        const R k[2] = {V::load(laneK1), V::load(laneK2)};
        const R c = V::load(laneC);
        const R g = V::load(laneG);
        const R lenV = V::load(laneLen);
        for (int r = 0; r < kRows; ++r) inStringAt[r] = V::less(V::set1(static_cast<float>(r)), lenV);
        const R threshold = V::load(laneThreshold);
        const M goesOn = V::less(V::set1(0.0f), V::load(laneContinues));
        const M startsString = V::less(V::set1(0.0f), V::load(laneBegins));

        std::uint32_t lastWatched = 0, watchedLanes = 0;  // lanes of the watched keys
        for (int f = 0; f < frames; ++f) {
            bool hammer = false;
            if (striking) {
                for (int l = 0; l < W; ++l) {
                    laneHammer[l] = -1.0f;
                    lanePhi[l] = -0.0f;
                }
                for (std::uint32_t m = striking; m; m &= m - 1) {
                    const int j = __builtin_ctz(m);
                    strike[j].next(lanePhi[hammerLane[j]]);
                    laneHammer[hammerLane[j]] = static_cast<float>(hammerRow[j]);
                    if (strike[j].count <= 0) striking &= ~(1u << j);
                }
                hammer = true;
            }
            const R hammerPoint = V::load(laneHammer);
            const R phi = V::load(lanePhi);
            // Per string F(0) = -(K X[1] + c V[1]), the link to the fixed end,
            // or the link from the previous segment; and F(1).
            R force[2][2];
            for (int s = 0; s < 2; ++s) {
                auto& rows = s == 0 ? s1 : s2;
                const R x1 = V::load(rows.x[1]);
                const R v1 = V::load(rows.v[1]);
                force[s][0] = V::neg(V::add(V::mul(k[s], x1), V::mul(c, v1)));
                if (segment > 0) {
                    const R joined = V::add(V::mul(k[s], V::sub(V::shiftUp(V::load(rows.x[segment])), x1)),
                                            V::mul(c, V::sub(V::shiftUp(V::load(rows.v[segment])), v1)));
                    force[s][0] = V::select(startsString, force[s][0], joined);
                    V::store(rows.x[segment + 1], V::select(goesOn, V::shiftDown(x1), V::set1(0.0f)));
                    V::store(rows.v[segment + 1], V::select(goesOn, V::shiftDown(v1), V::set1(0.0f)));
                }
                force[s][1] = link(rows.x, rows.v, 1, k[s], c);
            }
            R peak = V::set1(0.0f);
            const std::uint32_t watched = active & ~striking;  // keys that may fall silent this sample
            if (watched != lastWatched) {
                lastWatched = watched;
                watchedLanes = 0;
                for (std::uint32_t m = watched; m; m &= m - 1) watchedLanes |= keyLanes[__builtin_ctz(m)];
            }
            bool needPeak = watched != 0, firstTest = true;
            // Points every lane has, then those only the longer lanes have;
            // only the hammer's rows look for a strike.
            const int hFrom = hammer ? hammerFirst : kRows, hTo = hammer ? hammerLast + 1 : kRows;
            auto span = [&](int from, int to, auto end) __attribute__((always_inline)) {
                constexpr bool kEnd = decltype(end)::value;
                const int h0 = hFrom < from ? from : hFrom > to ? to : hFrom;
                const int h1 = hTo < h0 ? h0 : hTo > to ? to : hTo;
                points<false, kEnd>(from, h0, k, c, g, force, peak, hammerPoint, phi, threshold, watched, watchedLanes, needPeak, firstTest);
                points<true, kEnd>(h0, h1, k, c, g, force, peak, hammerPoint, phi, threshold, watched, watchedLanes, needPeak, firstTest);
                points<false, kEnd>(h1, to, k, c, g, force, peak, hammerPoint, phi, threshold, watched, watchedLanes, needPeak, firstTest);
            };
            // Point 1 of every lane with the peak, in line ahead of the row
            // loops (where every lane has a point 1 and no strike lands on
            // it), and the test it mostly settles: a loop of a single row
            // costs more than its row.
            int firstRow = 1;
            if (needPeak && shortest > 1 && hFrom > 1) {
                for (int s = 0; s < 2; ++s) {
                    auto& rows = s == 0 ? s1 : s2;
                    const R next = link(rows.x, rows.v, 2, k[s], c);
                    update<V, false, false, true>(rows.x, rows.v, 1, force[s][0], force[s][1], g, peak, M{}, phi, M{});
                    force[s][0] = force[s][1];
                    force[s][1] = next;
                }
                firstTest = false;
                firstRow = 2;
                if (peakSettled(peak, threshold, watched, watchedLanes)) needPeak = false;
            }
            span(firstRow, shortest, std::false_type{});
            span(shortest, halfFrom, std::true_type{});
            // The rows past the upper half's strings, in the half-width
            // vector once the peak is settled.
            if constexpr (kHasHalf) {
                if (halfFrom < longestLen) {
                    if (!needPeak)
                        halfSpan<typename V::Half>(halfFrom, longestLen, k, c, g, force, hFrom, hTo, hammerPoint, phi);
                    else
                        span(halfFrom, longestLen, std::true_type{});
                }
            }

            if (pickupVectors)
                notePickups(f);
            else
                addPickups(f);

            // Keys that barely move any more, once their strike is over (none
            // when every watched key reached its threshold early).
            std::uint32_t quiet = needPeak ? wholeKeys(V::bits(V::less(peak, threshold))) & watched : 0;
            if (quiet) {
                if (pickupVectors) flushPickups();  // the quiet keys' last pickups included
                moveStrings<false>(quiet);
                for (std::uint32_t m = quiet; m; m &= m - 1) {
                    const int j = __builtin_ctz(m);
                    p.keyActive[keys[j]] = 0;
                    p.forceCount[keys[j]] = static_cast<std::int16_t>(strike[j].count);
                }
                active &= ~quiet;
                if (!active) return false;
            }
        }
        if (pickupVectors) flushPickups();
        for (std::uint32_t m = active; m; m &= m - 1) {
            const int j = __builtin_ctz(m);
            p.forceCount[keys[j]] = static_cast<std::int16_t>(strike[j].count);
        }
        const bool whole = active == (1u << count) - 1u;
        if (!(keep && whole)) moveStrings<false>(active);
        return whole;
    }
};

}  // namespace
