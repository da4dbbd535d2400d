// The vector kernel for processors with AVX-512: sixteen lanes, with masked
// loads and stores for the last points of a string, and eight-lane runs for
// few keys. This file alone is compiled with -mavx512f -mfma (see
// CMakeLists.txt); it runs only where the processor reports AVX-512F and FMA3.
// GCC 12 warns about the deliberately undefined pass-through operand inside
// its own AVX-512 intrinsics; nothing here reads an uninitialised value.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "engine/kernel_avx2_lanes.h"
#include "engine/kernel_paths.h"
#include "engine/kernel_simd.h"
#include "engine/mix_sums.h"

namespace {
// The lower eight lanes of the sixteen, with AVX-512's lane masks in place
// of AVX2's mask vectors: the rows of a run where only the lower half of the
// lanes still has strings.
struct Avx512Half : Avx2Lanes {
    using M = __mmask8;
    static R low(__m512 a) { return _mm512_castps512_ps256(a); }
    static M low(__mmask16 m) { return static_cast<M>(m); }
    static R select(M m, R a, R b) { return _mm256_mask_mov_ps(b, m, a); }
    static R maxWhere(M m, R a, R peak) { return _mm256_mask_max_ps(peak, m, a, peak); }
    static R addWhere(M m, R a, R b) { return _mm256_mask_fmadd_ps(a, m, _mm256_set1_ps(1.0f), b); }
    static M equal(R a, R b) { return _mm256_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
};

struct Avx512Lanes {
    using Half = Avx512Half;
    using R = __m512;
    static constexpr int kWidth = 16;
    static constexpr int kRegisters = 32;
    static __mmask16 mask(int n) { return static_cast<__mmask16>((1u << n) - 1u); }
    static R load(const float* p) { return _mm512_loadu_ps(p); }
    static void store(float* p, R v) { _mm512_storeu_ps(p, v); }
    // Masked lanes read as 0 without touching memory, and are never stored.
    static R loadPart(const float* p, int n) { return _mm512_maskz_loadu_ps(mask(n), p); }
    static void storePart(float* p, R v, int n) { _mm512_mask_storeu_ps(p, mask(n), v); }
    static R set1(float x) { return _mm512_set1_ps(x); }
    static R add(R a, R b) { return _mm512_add_ps(a, b); }
    static R sub(R a, R b) { return _mm512_sub_ps(a, b); }
    static R mul(R a, R b) { return _mm512_mul_ps(a, b); }
    // a + b on the multiplier units: a * 1 + b is a + b rounded once, the
    // same bits as an addition, and it spares the adders, which limit the
    // key-per-lane kernel. GCC keeps it as written; clang 14 folds it back
    // into an addition.
    static R addOnMultiplier(R a, R b) { return _mm512_fmadd_ps(a, _mm512_set1_ps(1.0f), b); }
    static R abs(R a) {
        return _mm512_castsi512_ps(_mm512_and_epi32(_mm512_castps_si512(a), _mm512_set1_epi32(0x7FFFFFFF)));
    }
    // a > peak ? a : peak, lane by lane: a NaN never becomes the peak.
    static R maxKeepingPeak(R a, R peak) { return _mm512_max_ps(a, peak); }
    // Only the hammer's lane is added to; the others keep their bits.
    static R addAtLane(R a, int lane, float x) {
        return _mm512_mask_add_ps(a, static_cast<__mmask16>(1u << lane), a, _mm512_set1_ps(x));
    }
    // Lane 0: the last lane of prev; lanes 1..15: lanes 0..14 of cur.
    static R shiftIn(R prev, R cur) {
        const __m512i index = _mm512_setr_epi32(15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30);
        return _mm512_permutex2var_ps(prev, index, cur);
    }
    static R keepLanes(R a, int n) { return _mm512_maskz_mov_ps(mask(n), a); }
    // Lane masks for keys in lanes.
    using M = __mmask16;
    static R neg(R a) {
        return _mm512_castsi512_ps(_mm512_xor_epi32(_mm512_castps_si512(a), _mm512_set1_epi32(INT32_MIN)));
    }
    static R select(M m, R a, R b) { return _mm512_mask_mov_ps(b, m, a); }
    // A masked maximum: one operation, where a selection first would take two.
    static R maxWhere(M m, R a, R peak) { return _mm512_mask_max_ps(peak, m, a, peak); }
    // a + b where m is set, a elsewhere: the mask rides on the operation
    // itself, at no cost.
    static R addWhere(M m, R a, R b) { return _mm512_mask_fmadd_ps(a, m, _mm512_set1_ps(1.0f), b); }
    static M equal(R a, R b) { return _mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
    static M less(R a, R b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
    static unsigned bits(M m) { return m; }
    static M firstLanes(int n) { return static_cast<M>((1u << n) - 1u); }
    static M onlyLane(int lane) { return static_cast<M>(1u << lane); }
    // Lane l takes lane l - 1 (lane 0 takes +0), or lane l + 1 (the last takes +0).
    static R shiftUp(R a) {
        return _mm512_castsi512_ps(_mm512_alignr_epi32(_mm512_castps_si512(a), _mm512_setzero_si512(), 15));
    }
    static R shiftDown(R a) {
        return _mm512_castsi512_ps(_mm512_alignr_epi32(_mm512_setzero_si512(), _mm512_castps_si512(a), 1));
    }
    // Transposes a 16 x 16 block in place: lane i of r[j] becomes lane j of
    // r[i]. Pairs of floats, then of pairs, then 128-bit quarters twice.
    static void transpose(R* r) {
        R t[16];
        for (int i = 0; i < 16; i += 2) {
            t[i] = _mm512_unpacklo_ps(r[i], r[i + 1]);
            t[i + 1] = _mm512_unpackhi_ps(r[i], r[i + 1]);
        }
        // u[4q + c]: element c of each 128-bit quarter, rows 4q..4q+3.
        R u[16];
        for (int q = 0; q < 16; q += 4) {
            const __m512d a = _mm512_castps_pd(t[q]), b = _mm512_castps_pd(t[q + 1]);
            const __m512d c = _mm512_castps_pd(t[q + 2]), d = _mm512_castps_pd(t[q + 3]);
            u[q] = _mm512_castpd_ps(_mm512_unpacklo_pd(a, c));
            u[q + 1] = _mm512_castpd_ps(_mm512_unpackhi_pd(a, c));
            u[q + 2] = _mm512_castpd_ps(_mm512_unpacklo_pd(b, d));
            u[q + 3] = _mm512_castpd_ps(_mm512_unpackhi_pd(b, d));
        }
        for (int c = 0; c < 4; ++c) {
            // Quarters 0 and 2, then 1 and 3, of rows 0-3 with rows 4-7 and
            // of rows 8-11 with rows 12-15; then the same across the halves.
            const R v0 = _mm512_shuffle_f32x4(u[c], u[4 + c], 0x88);
            const R v1 = _mm512_shuffle_f32x4(u[c], u[4 + c], 0xDD);
            const R v2 = _mm512_shuffle_f32x4(u[8 + c], u[12 + c], 0x88);
            const R v3 = _mm512_shuffle_f32x4(u[8 + c], u[12 + c], 0xDD);
            r[c] = _mm512_shuffle_f32x4(v0, v2, 0x88);
            r[8 + c] = _mm512_shuffle_f32x4(v0, v2, 0xDD);
            r[4 + c] = _mm512_shuffle_f32x4(v1, v3, 0x88);
            r[12 + c] = _mm512_shuffle_f32x4(v1, v3, 0xDD);
        }
    }
    static float reduceMax(R v) {
        __m256 h = _mm256_max_ps(_mm512_castps512_ps256(v),
                                 _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1)));
        __m128 m = _mm_max_ps(_mm256_castps256_ps128(h), _mm256_extractf128_ps(h, 1));
        m = _mm_max_ps(m, _mm_movehl_ps(m, m));
        m = _mm_max_ss(m, _mm_shuffle_ps(m, m, 1));
        return _mm_cvtss_f32(m);
    }
};
}  // namespace

// Runs of up to eight keys use eight lanes: half the lanes cost less than
// sixteen lanes with idle ones.
void pelmar_process_avx512(void* job) { runVectorKernel<Avx512Lanes, Avx2Lanes>(job); }
void pelmar_process_avx512_jobs(const VoiceJob* jobs, int count) { runVectorJobs<Avx512Lanes, Avx2Lanes>(jobs, count); }
void pelmar_mix_avx512(float* left, float* right, float* const (*sums)[2], int workers, long frames, float volume) {
    mixWorkerSums(left, right, sums, workers, frames, volume);
}
