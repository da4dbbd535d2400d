// The string kernel comes in several builds that all produce the same bits:
// the plain reference, and vector builds for the instruction sets a processor
// may have. The best one the processor supports is chosen at first use; tests
// pick each available one in turn and compare it with the reference.
#pragma once

enum class KernelPath { Reference, Baseline, Avx2, Avx512 };

struct VoiceJob;
using KernelFunction = void (*)(void* job);
// Several jobs of one sub-block on the calling thread: the same bits in each
// job's buffers as running them one after another, but the vector builds
// plan the jobs' keys together.
using KernelJobsFunction = void (*)(const VoiceJob* jobs, int count);
// The workers' sums of a sub-block (sums[t][side]) added in worker order,
// scaled by the volume and limited into the host's buffers.
using MixFunction = void (*)(float* left, float* right, float* const (*sums)[2], int workers, long frames,
                             float volume);

bool kernelPathAvailable(KernelPath path);
KernelPath bestKernelPath();
// Switches every plug-in in the process to `path`; false (and no change) when
// this processor cannot run it.
bool selectKernelPath(KernelPath path);
KernelPath selectedKernelPath();
KernelFunction selectedKernel();
KernelJobsFunction selectedJobsKernel();
MixFunction selectedMix();

// The vector builds, each in a translation unit of its own compiled for its
// instruction set; call only those that kernelPathAvailable allows.
void pelmar_process_baseline(void* job);
void pelmar_process_avx2(void* job);
void pelmar_process_avx512(void* job);
void pelmar_process_baseline_jobs(const VoiceJob* jobs, int count);
void pelmar_process_avx2_jobs(const VoiceJob* jobs, int count);
void pelmar_process_avx512_jobs(const VoiceJob* jobs, int count);
void pelmar_mix_baseline(float* left, float* right, float* const (*sums)[2], int workers, long frames, float volume);
void pelmar_mix_avx2(float* left, float* right, float* const (*sums)[2], int workers, long frames, float volume);
void pelmar_mix_avx512(float* left, float* right, float* const (*sums)[2], int workers, long frames, float volume);
