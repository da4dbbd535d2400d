// Eight float lanes with AVX2 and FMA3 for the vector kernels: the AVX2
// build's vector, and the AVX-512 build's narrower one for runs of keys too
// few to fill sixteen lanes. Include only from files compiled with -mavx2
// -mfma (or more); each includer keeps its own copy (internal linkage).
#pragma once

#include <immintrin.h>

namespace {
// Lane masks for partial loads and stores: kLaneMask + 8 - n enables n lanes.
alignas(32) const int kLaneMask[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};

struct Avx2Lanes {
    using R = __m256;
    static constexpr int kWidth = 8;
#ifdef __AVX512VL__
    static constexpr int kRegisters = 32;  // EVEX encodings reach ymm16..31
#else
    static constexpr int kRegisters = 16;
#endif
    // A masked addition is the addition and a blend: measured on Zen 5,
    // the planner's choices come out best costing a masked row 1.15 rows.
    static constexpr float kMaskedRowCost = 1.15f;
    static __m256i mask(int n) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLaneMask + kWidth - n));
    }
    static R load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, R v) { _mm256_storeu_ps(p, v); }
    // Masked lanes read as 0 without touching memory, and are never stored.
    static R loadPart(const float* p, int n) { return _mm256_maskload_ps(p, mask(n)); }
    static void storePart(float* p, R v, int n) { _mm256_maskstore_ps(p, mask(n), v); }
    // Transposes an 8 x 8 block in place: lane i of r[j] becomes lane j of
    // r[i]. Pairs of floats, then of pairs, then the 128-bit halves.
    static void transpose(R* r) {
        R t[8], u[8];
        for (int i = 0; i < 8; i += 2) {
            t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
            t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
        }
        // u[4q + c]: columns c and 4 + c of rows 4q..4q+3, one a half.
        for (int q = 0; q < 8; q += 4) {
            u[q] = _mm256_shuffle_ps(t[q], t[q + 2], 0x44);
            u[q + 1] = _mm256_shuffle_ps(t[q], t[q + 2], 0xEE);
            u[q + 2] = _mm256_shuffle_ps(t[q + 1], t[q + 3], 0x44);
            u[q + 3] = _mm256_shuffle_ps(t[q + 1], t[q + 3], 0xEE);
        }
        for (int c = 0; c < 4; ++c) {
            r[c] = _mm256_permute2f128_ps(u[c], u[4 + c], 0x20);
            r[4 + c] = _mm256_permute2f128_ps(u[c], u[4 + c], 0x31);
        }
    }
    static R set1(float x) { return _mm256_set1_ps(x); }
    static R add(R a, R b) { return _mm256_add_ps(a, b); }
    static R sub(R a, R b) { return _mm256_sub_ps(a, b); }
    static R mul(R a, R b) { return _mm256_mul_ps(a, b); }
    // a + b on the multiplier units: a * 1 + b is a + b rounded once, the
    // same bits as an addition, and it spares the adders.
    static R addOnMultiplier(R a, R b) { return _mm256_fmadd_ps(a, _mm256_set1_ps(1.0f), b); }
    static R abs(R a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
    // a > peak ? a : peak, lane by lane: a NaN never becomes the peak.
    static R maxKeepingPeak(R a, R peak) { return _mm256_max_ps(a, peak); }
    static R addAtLane(R a, int lane, float x) {
        alignas(32) float t[kWidth] = {-0.0f, -0.0f, -0.0f, -0.0f, -0.0f, -0.0f, -0.0f, -0.0f};
        t[lane] = x;
        return _mm256_add_ps(a, _mm256_load_ps(t));
    }
    // Lane 0: the last lane of prev; lanes 1..7: lanes 0..6 of cur.
    static R shiftIn(R prev, R cur) {
        const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
        return _mm256_blend_ps(_mm256_permutevar8x32_ps(cur, rotate), _mm256_permutevar8x32_ps(prev, rotate), 0x01);
    }
    static R keepLanes(R a, int n) { return _mm256_and_ps(a, _mm256_castsi256_ps(mask(n))); }
    // Lane masks for keys in lanes: all ones where true.
    using M = __m256;
    static R neg(R a) { return _mm256_xor_ps(a, _mm256_set1_ps(-0.0f)); }
    static R select(M m, R a, R b) { return _mm256_blendv_ps(b, a, m); }
    // The peak widened by a only where m is set (the peak is never below +0).
    static R maxWhere(M m, R a, R peak) { return maxKeepingPeak(select(m, a, set1(0.0f)), peak); }
    // a + b where m is set, a elsewhere.
    static R addWhere(M m, R a, R b) { return select(m, addOnMultiplier(a, b), a); }
    static M equal(R a, R b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
    static M less(R a, R b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    static unsigned bits(M m) { return static_cast<unsigned>(_mm256_movemask_ps(m)); }
    static M firstLanes(int n) { return _mm256_castsi256_ps(mask(n)); }
    static M onlyLane(int lane) {
        return _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(lane)));
    }
    // Lane l takes lane l - 1 (lane 0 takes +0), or lane l + 1 (the last takes +0).
    static R shiftUp(R a) {
        const R moved = _mm256_permutevar8x32_ps(a, _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6));
        return _mm256_blend_ps(moved, _mm256_setzero_ps(), 0x01);
    }
    static R shiftDown(R a) {
        const R moved = _mm256_permutevar8x32_ps(a, _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7));
        return _mm256_blend_ps(moved, _mm256_setzero_ps(), 0x80);
    }
    static float reduceMax(R v) {
        __m128 m = _mm_max_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
        m = _mm_max_ps(m, _mm_movehl_ps(m, m));
        m = _mm_max_ss(m, _mm_shuffle_ps(m, m, 1));
        return _mm_cvtss_f32(m);
    }
};
}  // namespace
