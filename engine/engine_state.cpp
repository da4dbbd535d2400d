// Set-up and tear-down of the piano model's state, and the mixing buffers.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/pelmar.h"

void pelmar::engineInit() {
    // Worker t's keys t, t + n, t + 2n... in slots t * (per + 1) onwards.
    const int n = threads ? threads->nb() : 1;
    const int per = (kNumKeys + n - 1) / n;
    for (int k = 0; k < kNumKeys; ++k) keySlot[k] = static_cast<std::uint8_t>(k % n * (per + 1) + k / n);
    std::fill(&stringPosSlots[0][0][0], &stringPosSlots[0][0][0] + sizeof stringPosSlots / sizeof(float), 0.0f);
    std::fill(&stringVelSlots[0][0][0], &stringVelSlots[0][0][0] + sizeof stringVelSlots / sizeof(float), 0.0f);
    for (int k = 0; k < kNumKeys; ++k) {
        forceLen[k] = 0;
        forceCount[k] = 0;
        forceAmp1[k] = 0.0f;
        forceAmp2[k] = 0.0f;
        keyActive[k] = 0;
        forceBuf1[k] = nullptr;
        forceBuf2[k] = nullptr;
        keyHeld[k] = 0;
        keyFreq[k] = 440.0f * powf(2.0f, static_cast<float>(k - 48) / 12.0f);
        // One segment per 21555.5 / f; the string length never follows later retuning.
        stringLen[k] = std::clamp(static_cast<std::int32_t>(21555.5f / keyFreq[k]), 5, kMaxPoints);
        // Coefficients until the first parameter mapping replaces them: a
        // string at rest with valid indices.
        stiff1[k] = stiff2[k] = viscosity[k] = 0.0f;
        damping[k] = dampRelease[k] = dampHold[k] = 0.0f;
        hammerPoint[k] = pickupLeft[k] = pickupRight[k] = 1;
    }
    eventList = nullptr;
    eventFree = nullptr;
    pedalDown = 0;
    std::memcpy(programs, pminit, sizeof(programs));
    for (auto& buffers : mixBuf) buffers[0] = buffers[1] = nullptr;
    mixFrames = 0;
    // Room for the groups that runs keep between sub-blocks, for each
    // worker's plan and the one of jobs run together; without it, runs copy
    // their strings in and out every sub-block.
    for (int t = 0; t <= kMaxWorkers; ++t) {
        PlanCache& cache = jobPlans[t].cache;
        cache.forgetKept();
        if (t < n || t == kMaxWorkers)
            cache.keptLanes = std::aligned_alloc(64, PlanCache::kKeptRuns * PlanCache::kKeptRunBytes);
    }
    lastSplit = -1;
    lastKernel = nullptr;
    if (getBlockSize() != 0) setBlockSize(getBlockSize());
}

void pelmar::engineFree() {
    for (NoteEvent* list : {eventList, eventFree}) {
        while (list) {
            NoteEvent* next = list->next;
            delete list;
            list = next;
        }
    }
    eventList = eventFree = nullptr;
    for (int k = 0; k < kNumKeys; ++k) {
        std::free(forceBuf1[k]);
        std::free(forceBuf2[k]);
        forceBuf1[k] = forceBuf2[k] = nullptr;
    }
    for (auto& buffers : mixBuf) {
        for (float*& buffer : buffers) {
            std::free(buffer);
            buffer = nullptr;
        }
    }
    for (auto& plan : jobPlans) {
        std::free(plan.cache.keptLanes);
        plan.cache.keptLanes = nullptr;
        plan.cache.forgetKept();
    }
    delete threads;
    threads = nullptr;
}

void pelmar::setBlockSize(VstInt32 size) {
    if (size <= 0) return;  // no block to render; keep what we have
    // The buffers never grow beyond kMaxMixFrames: the render loop cuts longer
    // host blocks into pieces, so a huge block size cannot exhaust memory.
    const VstInt32 frames = std::min(size, kMaxMixFrames);
    if (frames != mixFrames || !mixBuf[0][0]) {
        bool failed = false;
        for (int t = 0; t < threads->nb(); ++t) {
            for (float*& buffer : mixBuf[t]) {
                void* resized = std::realloc(buffer, sizeof(float) * static_cast<std::size_t>(frames));
                if (resized)
                    buffer = static_cast<float*>(resized);
                else
                    failed = true;  // that buffer keeps its old size
            }
        }
        // Every buffer holds at least this many floats, whatever failed.
        mixFrames = failed ? std::min(mixFrames, frames) : frames;
    }
    AudioEffectX::setBlockSize(size);
    configureRateConverter();
}
