// The row of t3d_turb in eight lanes. This file alone is compiled with
// -mavx2 (see CMakeLists.txt); it runs only where the processor has it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // GCC 12's own gather intrinsics
#include <immintrin.h>

#include "engine/noise/turb_row_simd.h"

namespace {
struct Avx2Lanes {
    using F = __m256;
    using I = __m256i;
    static constexpr int kWidth = 8;
    static F load(const float* p) { return _mm256_load_ps(p); }
    static void store(float* p, F v) { _mm256_storeu_ps(p, v); }
    static F set1(float x) { return _mm256_set1_ps(x); }
    static F add(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F div(F a, F b) { return _mm256_div_ps(a, b); }
    static F floor(F x) { return _mm256_floor_ps(x); }
    static F positions(int i) {
        return _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(i), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
    }
    // -2^31 <= v < 2^31 in every lane (false for NaN).
    static bool allInIntRange(F v) {
        const F low = _mm256_cmp_ps(v, _mm256_set1_ps(-2147483648.0f), _CMP_GE_OQ);
        const F high = _mm256_cmp_ps(v, _mm256_set1_ps(2147483648.0f), _CMP_LT_OQ);
        return _mm256_movemask_ps(_mm256_and_ps(low, high)) == 0xFF;
    }
    static I toInt(F v) { return _mm256_cvttps_epi32(v); }
    static float firstLane(F v) { return _mm256_cvtss_f32(v); }
    static float lastLane(F v) {
        const __m128 top = _mm256_extractf128_ps(v, 1);
        return _mm_cvtss_f32(_mm_shuffle_ps(top, top, 3));
    }
    // Two cells of four values: one 256-bit load. `offset`: each lane's cell
    // counted from the first.
    static constexpr int kNearbyCells = 2;
    static void permuteCells(const float* cells, I offset, F& a0, F& d0, F& a1, F& d1) {
        const F values = _mm256_loadu_ps(cells);
        const I at = _mm256_slli_epi32(offset, 2);
        a0 = _mm256_permutevar8x32_ps(values, at);
        d0 = _mm256_permutevar8x32_ps(values, _mm256_add_epi32(at, _mm256_set1_epi32(1)));
        a1 = _mm256_permutevar8x32_ps(values, _mm256_add_epi32(at, _mm256_set1_epi32(2)));
        d1 = _mm256_permutevar8x32_ps(values, _mm256_add_epi32(at, _mm256_set1_epi32(3)));
    }
    // The quotient from a multiplication by the reciprocal may be one off;
    // one correction step each way makes the remainder exact.
    static __m128i wrapHalf(__m128i c) {
        const __m256d d = _mm256_cvtepi32_pd(c);
        const __m256d size = _mm256_set1_pd(kNoiseTableSize);
        const __m256d q = _mm256_floor_pd(_mm256_mul_pd(d, _mm256_set1_pd(1.0 / kNoiseTableSize)));
        __m256d r = _mm256_sub_pd(d, _mm256_mul_pd(q, size));
        r = _mm256_add_pd(r, _mm256_and_pd(_mm256_cmp_pd(r, _mm256_setzero_pd(), _CMP_LT_OQ), size));
        r = _mm256_sub_pd(r, _mm256_and_pd(_mm256_cmp_pd(r, size, _CMP_GE_OQ), size));
        return _mm256_cvttpd_epi32(r);
    }
    // c mod kNoiseTableSize, made non-negative.
    static I wrap(I c) {
        const __m128i lo = wrapHalf(_mm256_castsi256_si128(c));
        const __m128i hi = wrapHalf(_mm256_extracti128_si256(c, 1));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
    // The four values of each lane's lattice cell, as pairs of 64-bit loads
    // that are then split into their even and odd floats.
    static void gatherCell(I c, F& a0, F& d0, F& a1, F& d1) {
        const double* cells = reinterpret_cast<const double*>(&noiseCells[0][0]);
        const I twice = _mm256_slli_epi32(c, 1);  // cell c starts at double 2c
        const __m128i lo = _mm256_castsi256_si128(twice);
        const __m128i hi = _mm256_extracti128_si256(twice, 1);
        const __m128i one = _mm_set1_epi32(1);
        const F first0 = _mm256_castpd_ps(_mm256_i32gather_pd(cells, lo, 8));
        const F first1 = _mm256_castpd_ps(_mm256_i32gather_pd(cells, hi, 8));
        const F second0 = _mm256_castpd_ps(_mm256_i32gather_pd(cells, _mm_add_epi32(lo, one), 8));
        const F second1 = _mm256_castpd_ps(_mm256_i32gather_pd(cells, _mm_add_epi32(hi, one), 8));
        // shuffle_ps picks even (or odd) floats of both inputs per 128-bit
        // half; permute4x64 then puts the halves in lane order.
        auto split = [](F x, F y, F& evens, F& odds) {
            evens = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(x, y, 0x88)), 0xD8));
            odds = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(_mm256_shuffle_ps(x, y, 0xDD)), 0xD8));
        };
        split(first0, first1, a0, d0);
        split(second0, second1, a1, d1);
    }
};
}  // namespace

void t3d_turb_row_avx2(float* out, int count, float scale, int n, float a, float b) {
    turbRow<Avx2Lanes>(out, count, scale, n, a, b);
}
