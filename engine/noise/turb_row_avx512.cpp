// The row of t3d_turb in sixteen lanes. This file alone is compiled with
// -mavx512f (see CMakeLists.txt); it runs only where the processor has it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // GCC 12's own intrinsics
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>

#include "engine/noise/turb_row_simd.h"

namespace {
struct Avx512Lanes {
    using F = __m512;
    using I = __m512i;
    static constexpr int kWidth = 16;
    static F load(const float* p) { return _mm512_load_ps(p); }
    static void store(float* p, F v) { _mm512_storeu_ps(p, v); }
    static F set1(float x) { return _mm512_set1_ps(x); }
    static F add(F a, F b) { return _mm512_add_ps(a, b); }
    static F sub(F a, F b) { return _mm512_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm512_mul_ps(a, b); }
    static F div(F a, F b) { return _mm512_div_ps(a, b); }
    static F floor(F x) { return _mm512_roundscale_ps(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
    static F positions(int i) {
        return _mm512_cvtepi32_ps(_mm512_add_epi32(_mm512_set1_epi32(i),
                                                   _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15)));
    }
    // -2^31 <= v < 2^31 in every lane (false for NaN).
    static bool allInIntRange(F v) {
        const __mmask16 low = _mm512_cmp_ps_mask(v, _mm512_set1_ps(-2147483648.0f), _CMP_GE_OQ);
        const __mmask16 high = _mm512_cmp_ps_mask(v, _mm512_set1_ps(2147483648.0f), _CMP_LT_OQ);
        return (low & high) == 0xFFFF;
    }
    static I toInt(F v) { return _mm512_cvttps_epi32(v); }
    static float firstLane(F v) { return _mm512_cvtss_f32(v); }
    static float lastLane(F v) { return _mm512_cvtss_f32(_mm512_permutexvar_ps(_mm512_set1_epi32(15), v)); }
    // Eight cells of four values: two 512-bit loads, and each lane picks
    // its cell's values from the two by a two-source permutation.
    // `offset`: each lane's cell counted from the first.
    static constexpr int kNearbyCells = 8;
    static void permuteCells(const float* cells, I offset, F& a0, F& d0, F& a1, F& d1) {
        const F low = _mm512_loadu_ps(cells);
        const F high = _mm512_loadu_ps(cells + 16);
        const I at = _mm512_slli_epi32(offset, 2);
        a0 = _mm512_permutex2var_ps(low, at, high);
        d0 = _mm512_permutex2var_ps(low, _mm512_add_epi32(at, _mm512_set1_epi32(1)), high);
        a1 = _mm512_permutex2var_ps(low, _mm512_add_epi32(at, _mm512_set1_epi32(2)), high);
        d1 = _mm512_permutex2var_ps(low, _mm512_add_epi32(at, _mm512_set1_epi32(3)), high);
    }
    // The quotient from a multiplication by the reciprocal may be one off;
    // one correction step each way makes the remainder exact.
    static __m256i wrapHalf(__m256i c) {
        const __m512d d = _mm512_cvtepi32_pd(c);
        const __m512d size = _mm512_set1_pd(kNoiseTableSize);
        const __m512d q = _mm512_roundscale_pd(_mm512_mul_pd(d, _mm512_set1_pd(1.0 / kNoiseTableSize)),
                                               _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        __m512d r = _mm512_sub_pd(d, _mm512_mul_pd(q, size));
        r = _mm512_mask_add_pd(r, _mm512_cmp_pd_mask(r, _mm512_setzero_pd(), _CMP_LT_OQ), r, size);
        r = _mm512_mask_sub_pd(r, _mm512_cmp_pd_mask(r, size, _CMP_GE_OQ), r, size);
        return _mm512_cvttpd_epi32(r);
    }
    // c mod kNoiseTableSize, made non-negative.
    static I wrap(I c) {
        const __m256i lo = wrapHalf(_mm512_castsi512_si256(c));
        const __m256i hi = wrapHalf(_mm512_extracti64x4_epi64(c, 1));
        return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1);
    }
    // The four values of each lane's lattice cell, as pairs of 64-bit loads
    // that are then split into their even and odd floats.
    static void gatherCell(I c, F& a0, F& d0, F& a1, F& d1) {
        const double* cells = reinterpret_cast<const double*>(&noiseCells[0][0]);
        const I twice = _mm512_slli_epi32(c, 1);  // cell c starts at double 2c
        const __m256i lo = _mm512_castsi512_si256(twice);
        const __m256i hi = _mm512_extracti64x4_epi64(twice, 1);
        const __m256i one = _mm256_set1_epi32(1);
        const F first0 = _mm512_castpd_ps(_mm512_i32gather_pd(lo, cells, 8));
        const F first1 = _mm512_castpd_ps(_mm512_i32gather_pd(hi, cells, 8));
        const F second0 = _mm512_castpd_ps(_mm512_i32gather_pd(_mm256_add_epi32(lo, one), cells, 8));
        const F second1 = _mm512_castpd_ps(_mm512_i32gather_pd(_mm256_add_epi32(hi, one), cells, 8));
        const I even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        const I odd = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
        a0 = _mm512_permutex2var_ps(first0, even, first1);
        d0 = _mm512_permutex2var_ps(first0, odd, first1);
        a1 = _mm512_permutex2var_ps(second0, even, second1);
        d1 = _mm512_permutex2var_ps(second0, odd, second1);
    }
};
}  // namespace

void t3d_turb_row_avx512(float* out, int count, float scale, int n, float a, float b) {
    turbRow<Avx512Lanes>(out, count, scale, n, a, b);
}
