// One worker's share of one sub-block: keys firstKey, firstKey + keyStep, ...
// rendered into the worker's own pair of mixing buffers.
#pragma once

#include <cstdint>

class pelmar;
struct PlanCache;

struct VoiceJob {
    std::int32_t firstKey;
    std::int32_t keyStep;
    pelmar* plugin;
    float* outLeft;
    float* outRight;
    std::int32_t frames;
    PlanCache* plan = nullptr;  // where the vector kernels keep this job's last plan (none: plan afresh)
};

// The string kernel: advances the job's keys by `frames` samples and writes
// the summed pickups of every sample to outLeft / outRight.
void pelmar_process(void* job);
