// Chooses the kernel build for this processor. Compiled for the baseline
// instruction set, so the library loads and plays on any x86-64 processor.
#include <atomic>

#include "engine/kernel_paths.h"
#include "engine/voice_job.h"

namespace {
constexpr int kNotChosen = -1;
std::atomic<int> chosen{kNotChosen};  // a KernelPath once chosen

// The reference kernel runs the jobs one after another.
void referenceJobs(const VoiceJob* jobs, int count) {
    for (int t = 0; t < count; ++t) pelmar_process(const_cast<VoiceJob*>(&jobs[t]));
}

// One build's entry points: a job, jobs that share a thread, and the mix.
struct KernelBuild {
    KernelFunction one;
    KernelJobsFunction together;
    MixFunction mix;
};

KernelBuild buildOf(KernelPath path) {
    switch (path) {
        case KernelPath::Baseline:
            return {pelmar_process_baseline, pelmar_process_baseline_jobs, pelmar_mix_baseline};
        case KernelPath::Avx2:
            return {pelmar_process_avx2, pelmar_process_avx2_jobs, pelmar_mix_avx2};
        case KernelPath::Avx512:
            return {pelmar_process_avx512, pelmar_process_avx512_jobs, pelmar_mix_avx512};
        case KernelPath::Reference:
            break;
    }
    return {pelmar_process, referenceJobs, pelmar_mix_baseline};
}
}  // namespace

bool kernelPathAvailable(KernelPath path) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();  // may run before the library's own constructors
    switch (path) {
        case KernelPath::Reference:
        case KernelPath::Baseline:
            return true;
        case KernelPath::Avx2:  // every AVX2 processor of note also has FMA3, which this build uses
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case KernelPath::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                   __builtin_cpu_supports("fma");
    }
    return false;
#else
    return path == KernelPath::Reference;
#endif
}

KernelPath bestKernelPath() {
    for (KernelPath path : {KernelPath::Avx512, KernelPath::Avx2, KernelPath::Baseline})
        if (kernelPathAvailable(path)) return path;
    return KernelPath::Reference;
}

bool selectKernelPath(KernelPath path) {
    if (!kernelPathAvailable(path)) return false;
    chosen.store(static_cast<int>(path));
    return true;
}

KernelPath selectedKernelPath() {
    int path = chosen.load();
    if (path == kNotChosen) {
        // The first use chooses; a choice made meanwhile by a test stands.
        const int best = static_cast<int>(bestKernelPath());
        path = chosen.compare_exchange_strong(path, best) ? best : path;
    }
    return static_cast<KernelPath>(path);
}

KernelFunction selectedKernel() { return buildOf(selectedKernelPath()).one; }
KernelJobsFunction selectedJobsKernel() { return buildOf(selectedKernelPath()).together; }
MixFunction selectedMix() { return buildOf(selectedKernelPath()).mix; }
