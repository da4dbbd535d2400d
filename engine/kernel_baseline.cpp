// The vector kernel for any x86-64 processor: four lanes of SSE2.
#include <emmintrin.h>

#include "engine/kernel_paths.h"
#include "engine/kernel_simd.h"
#include "engine/mix_sums.h"

namespace {
struct Sse2Lanes {
    using R = __m128;
    static constexpr int kWidth = 4;
    static constexpr int kRegisters = 16;
    static R load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, R v) { _mm_storeu_ps(p, v); }
    // Lanes from n on read as 0 and are never stored.
    static R loadPart(const float* p, int n) {
        alignas(16) float t[kWidth] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int i = 0; i < n; ++i) t[i] = p[i];
        return _mm_load_ps(t);
    }
    static void storePart(float* p, R v, int n) {
        alignas(16) float t[kWidth];
        _mm_store_ps(t, v);
        for (int i = 0; i < n; ++i) p[i] = t[i];
    }
    static R set1(float x) { return _mm_set1_ps(x); }
    static R add(R a, R b) { return _mm_add_ps(a, b); }
    static R sub(R a, R b) { return _mm_sub_ps(a, b); }
    static R mul(R a, R b) { return _mm_mul_ps(a, b); }
    static R addOnMultiplier(R a, R b) { return add(a, b); }
    static R abs(R a) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), a); }
    // a > peak ? a : peak, lane by lane: a NaN never becomes the peak.
    static R maxKeepingPeak(R a, R peak) { return _mm_max_ps(a, peak); }
    static R addAtLane(R a, int lane, float x) {
        alignas(16) float t[kWidth] = {-0.0f, -0.0f, -0.0f, -0.0f};
        t[lane] = x;
        return _mm_add_ps(a, _mm_load_ps(t));
    }
    // Lane 0: the last lane of prev; lanes 1..3: lanes 0..2 of cur.
    static R shiftIn(R prev, R cur) {
        const R t = _mm_shuffle_ps(prev, cur, _MM_SHUFFLE(1, 0, 3, 3));  // prev3 prev3 cur0 cur1
        return _mm_shuffle_ps(t, cur, _MM_SHUFFLE(2, 1, 2, 0));          // prev3 cur0 cur1 cur2
    }
    static R keepLanes(R a, int n) {
        alignas(16) static const int kMask[8] = {-1, -1, -1, -1, 0, 0, 0, 0};
        return _mm_and_ps(a, _mm_loadu_ps(reinterpret_cast<const float*>(kMask + kWidth - n)));
    }
    // Lane masks for keys in lanes: all ones where true.
    using M = __m128;
    static R neg(R a) { return _mm_xor_ps(a, _mm_set1_ps(-0.0f)); }
    static R select(M m, R a, R b) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b)); }
    // The peak widened by a only where m is set (the peak is never below +0).
    static R maxWhere(M m, R a, R peak) { return maxKeepingPeak(select(m, a, set1(0.0f)), peak); }
    // a + b where m is set, a elsewhere.
    static R addWhere(M m, R a, R b) { return select(m, add(a, b), a); }
    static M equal(R a, R b) { return _mm_cmpeq_ps(a, b); }
    static M less(R a, R b) { return _mm_cmplt_ps(a, b); }
    static unsigned bits(M m) { return static_cast<unsigned>(_mm_movemask_ps(m)); }
    static M firstLanes(int n) {
        return _mm_castsi128_ps(_mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_setr_epi32(0, 1, 2, 3)));
    }
    static M onlyLane(int lane) {
        return _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(lane)));
    }
    // Lane l takes lane l - 1 (lane 0 takes +0), or lane l + 1 (the last takes +0).
    static R shiftUp(R a) { return _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(a), 4)); }
    static R shiftDown(R a) { return _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(a), 4)); }
    static float reduceMax(R v) {
        alignas(16) float t[kWidth];
        _mm_store_ps(t, v);
        float m = t[0];
        for (int i = 1; i < kWidth; ++i) m = t[i] > m ? t[i] : m;
        return m;
    }
};
}  // namespace

void pelmar_process_baseline(void* job) { runVectorKernel<Sse2Lanes>(job); }
void pelmar_process_baseline_jobs(const VoiceJob* jobs, int count) { runVectorJobs<Sse2Lanes>(jobs, count); }
void pelmar_mix_baseline(float* left, float* right, float* const (*sums)[2], int workers, long frames, float volume) {
    mixWorkerSums(left, right, sums, workers, frames, volume);
}
