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
// A row of the narrower vector (half the lanes) against a row of the wide
// one: on processors that split 512-bit operations into two 256-bit halves
// (measured on Zen 4) it costs about two thirds, so a run of up to half the
// lanes is cheaper in the narrower vector.
constexpr float kNarrowRowCost = 0.65f;
// Shorter sub-blocks always take the single-key path: copying into the lanes
// would cost more than it saves.
constexpr int kRunMinFrames = 16;
}  // namespace

int planKeyRuns(const int* lens, int n, LaneWidths widths, int frames, KeyRun* runs) {
    const int width = widths.width;
    const int narrowWidth = widths.narrowWidth > 1 && widths.narrowWidth < width ? widths.narrowWidth : 0;
    if (frames < kRunMinFrames || width < 2) {
        for (int i = 0; i < n; ++i) runs[i] = KeyRun{i, 1, false};
        return n;
    }
    float best[kNumKeys + 1];
    KeyRun last[kNumKeys + 1];  // the run that ends the best split of the first i keys
    best[0] = 0.0f;
    for (int i = 1; i <= n; ++i) {
        const int vectors = (lens[i - 1] - 1 + width - 1) / width;
        best[i] = best[i - 1] + frames * (2.0f * vectors * kSingleVectorCost + kSingleSampleCost);
        last[i] = KeyRun{i - 1, 1, false};
        int longest = 0, points = 0;
        for (int j = i - 1; j >= 0 && i - j <= width; --j) {
            longest = lens[j] > longest ? lens[j] : longest;
            points += lens[j];
            const int keys = i - j;
            const float perSample = kRunSampleCost + kRunLaneSampleCost * keys;
            const float copy = kRunCopyCostPerPoint * 4.0f * points;
            const float cost = best[j] + frames * (2.0f * longest + perSample) +
                               kRunCopyCostPerPoint * 4.0f * longest * width + copy;
            if (cost < best[i]) {
                best[i] = cost;
                last[i] = KeyRun{j, keys, true};
            }
            if (keys <= narrowWidth) {
                const float narrowCost = best[j] + frames * (2.0f * longest * kNarrowRowCost + perSample) +
                                         kRunCopyCostPerPoint * 4.0f * longest * narrowWidth + copy;
                if (narrowCost < best[i]) {
                    best[i] = narrowCost;
                    last[i] = KeyRun{j, keys, true, true};
                }
            }
        }
    }
    // Walk back from the end, then put the runs in key order.
    int count = 0;
    for (int i = n; i > 0; i = last[i].first) runs[count++] = last[i];
    for (int a = 0, b = count - 1; a < b; ++a, --b) {
        const KeyRun t = runs[a];
        runs[a] = runs[b];
        runs[b] = t;
    }
    return count;
}
