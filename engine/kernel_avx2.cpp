// The vector kernel for processors with AVX2 and FMA3: eight lanes. This
// file alone is compiled with -mavx2 -mfma (see CMakeLists.txt); it runs only
// where the processor reports both.
#include "engine/kernel_avx2_lanes.h"
#include "engine/kernel_paths.h"
#include "engine/kernel_simd.h"
#include "engine/mix_sums.h"

void pelmar_process_avx2(void* job) { runVectorKernel<Avx2Lanes>(job); }
void pelmar_process_avx2_jobs(const VoiceJob* jobs, int count) { runVectorJobs<Avx2Lanes>(jobs, count); }
void pelmar_mix_avx2(float* left, float* right, float* const (*sums)[2], int workers, long frames, float volume) {
    mixWorkerSums(left, right, sums, workers, frames, volume);
}
