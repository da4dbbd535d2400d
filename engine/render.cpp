// A block of stereo audio at the model's rate: parameters are brought up to
// date, the block is cut where queued events fall, and each sub-block is
// rendered by the workers, mixed, scaled by the volume and limited.
#include <algorithm>

#include "engine/kernel_paths.h"
#include "engine/tick_clock.h"
#include "engine/voice_job.h"
#include "host/pelmar.h"
#include "host/shared_value.h"

namespace {

long pointUpdates(const pelmar& p, long frames) {
    // Without a branch per key, which scattered sounding keys would
    // mispredict; in 32 bits and with a mask rather than a product, which
    // vectorises well.
    std::int32_t points = 0;
    for (int k = 0; k < kNumKeys; ++k) points += (p.stringLen[k] - 1) & -static_cast<std::int32_t>(p.keyActive[k] != 0);
    return 2L * points * frames;
}

}  // namespace

void pelmar::renderModelRate(float**, float** outputs, VstInt32 sampleFrames) {
    if (suspended.load()) return;  // the host's buffers stay as they are
    if (!outputs || !outputs[0] || !outputs[1]) return;
    float* left = outputs[0];
    float* right = outputs[1];
    parameterProcess();
    if (sampleFrames <= 0) return;
    if (mixFrames <= 0) {  // no mixing buffer could be had: silence
        std::fill(left, left + sampleFrames, 0.0f);
        std::fill(right, right + sampleFrames, 0.0f);
        return;
    }

    VstInt32 remaining = sampleFrames;
    for (;;) {
        applyEditorStrikes();
        while (eventList && eventList->delta <= 0) {
            NoteEvent* event = eventList;
            eventList = event->next;
            if (!eventList) eventLast = nullptr;
            applyEvent(*event);
            event->next = eventFree;
            eventFree = event;
        }
        VstInt32 n = remaining;
        if (eventList && eventList->delta < n) n = eventList->delta;
        // A host block longer than the mixing buffers is rendered in pieces.
        n = std::min(n, mixFrames);
        forceProcess(left, right, n);
        for (NoteEvent* event = eventList; event; event = event->next) event->delta -= n;
        remaining -= n;
        left += n;
        right += n;
        if (remaining <= 0) return;
    }
}

void pelmar::forceProcess(float* left, float* right, long frames) {
    const int n = threads->nb();
    const auto count = static_cast<std::int32_t>(frames);
    const KernelFunction kernel = selectedKernel();
    VoiceJob jobs[kMaxWorkers];
    const long points = n > 1 ? pointUpdates(*this, frames) : 0;
    const bool together = n > 1 && !handOverPolicy.handOver(points, n);
    // Strings kept in lane rows stay there only while the same build
    // renders them, split the same way; otherwise they go back first.
    const int split = n == 1 ? 0 : together ? 1 : 2;
    if (split != lastSplit || kernel != lastKernel) {
        syncStrings();
        lastSplit = split;
        lastKernel = kernel;
    }
    if (n == 1) {
        jobs[0] = VoiceJob{0, 1, this, mixBuf[0][0], mixBuf[0][1], count, &jobPlans[0].cache};
        kernel(&jobs[0]);
    } else {
        for (int t = 0; t < n; ++t) jobs[t] = VoiceJob{t, n, this, mixBuf[t][0], mixBuf[t][1], count, &jobPlans[t].cache};
        if (together) {
            // Too little work to win back a hand-over: the same jobs, into the
            // same buffers, on this thread, planned together. The bits are the
            // same either way.
            jobs[0].plan = &jobPlans[kMaxWorkers].cache;
            const std::uint64_t start = readTicks();
            selectedJobsKernel()(jobs, n);
            handOverPolicy.ranTogether(points, readTicks() - start);
        } else {
            for (int t = 0; t < n; ++t) threads->set(t, kernel, &jobs[t]);
            threads->syncSharingCaller();
            // The caller's own job is taken as an even share of the work: the
            // workers' shares differ by a few per cent at most.
            handOverPolicy.handedOver(points / n, threads->lastCallerTicks(), threads->lastWorkerStart());
        }
    }
    // The volume is read once a sub-block: MIDI volume is set as events
    // arrive, before the block, and the editor's thread sets it at no
    // particular sample.
    selectedMix()(left, right, mixBuf, n, frames, loadShared(currentProgram().param[kVolume]));
}

void pelmar::syncStrings() {
    for (auto& plan : jobPlans) flushKeptLanes(plan.cache);
}
