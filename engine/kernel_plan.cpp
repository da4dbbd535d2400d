// Chooses, by a small dynamic programme over the keys in order, the cheapest
// split into key-per-lane runs and single keys. Costs are in vector point
// updates of one string, the kernels' unit of work, measured on both layouts.
#include "engine/kernel_plan.h"

#include "host/pelmar.h"

namespace {
// A key on its own: its rows of segments cost what a run's rows cost, and
// each sample pays for its strike, its pickups and the segments' links.
constexpr float kSingleVectorCost = 1.0f;
constexpr float kSingleSampleCost = 6.0f;
// A run: each sample pays for its pickups lane by lane; copying the state
// in and out of the lanes is paid once per sub-block.
constexpr float kRunSampleCost = 4.0f;
constexpr float kRunLaneSampleCost = 0.3f;
constexpr float kRunCopyCostPerPoint = 1.0f;
// Shorter sub-blocks always take the single-key path: copying into the lanes
// would cost more than it saves.
constexpr int kRunMinFrames = 16;
}  // namespace

int planKeyRuns(const int* lens, int n, int width, int frames, KeyRun* runs) {
    if (frames < kRunMinFrames || width < 2) {
        for (int i = 0; i < n; ++i) runs[i] = KeyRun{i, 1, false};
        return n;
    }
    float best[kNumKeys + 1];
    int from[kNumKeys + 1];
    bool lanes[kNumKeys + 1];
    best[0] = 0.0f;
    for (int i = 1; i <= n; ++i) {
        const int vectors = (lens[i - 1] - 1 + width - 1) / width;
        best[i] = best[i - 1] + frames * (2.0f * vectors * kSingleVectorCost + kSingleSampleCost);
        from[i] = i - 1;
        lanes[i] = false;
        int longest = 0, points = 0;
        for (int j = i - 1; j >= 0 && i - j <= width; --j) {
            longest = lens[j] > longest ? lens[j] : longest;
            points += lens[j];
            const int keys = i - j;
            const float cost = best[j] + frames * (2.0f * longest + kRunSampleCost + kRunLaneSampleCost * keys) +
                               kRunCopyCostPerPoint * 4.0f * longest * width + kRunCopyCostPerPoint * 4.0f * points;
            if (cost < best[i]) {
                best[i] = cost;
                from[i] = j;
                lanes[i] = true;
            }
        }
    }
    // Walk back from the end, then put the runs in key order.
    int count = 0;
    for (int i = n; i > 0; i = from[i]) runs[count++] = KeyRun{from[i], i - from[i], lanes[i]};
    for (int a = 0, b = count - 1; a < b; ++a, --b) {
        const KeyRun t = runs[a];
        runs[a] = runs[b];
        runs[b] = t;
    }
    return count;
}
