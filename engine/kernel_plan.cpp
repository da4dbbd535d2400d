// Chooses, by a small dynamic programme over the keys in order, the cheapest
// split into key-per-lane runs and single keys. Costs are in vector point
// updates of one string, the kernels' unit of work, measured on both layouts.
#include "engine/kernel_plan.h"

#include <algorithm>

#include "host/pelmar.h"

namespace {
// Calibrated on Zen 4 against renders of the 10 lowest keys, all 88 keys, a
// lone bass key and three middle keys in blocks of 8 to 512 frames.
// A key on its own: a row of its segments costs about 1.4 rows of a run
// (lanes shifted across, partial vectors), and each sample pays for its
// strike, its pickups and the segments' links.
constexpr float kSingleVectorCost = 1.4f;
constexpr float kSingleSampleCost = 6.0f;
// A run: each sample pays for setting up its first links, the peak test and
// its pickups lane by lane; copying the state in and out of the lanes is
// paid once per sub-block (a plain copy, cheap next to a row of updates).
constexpr float kRunSampleCost = 10.0f;
constexpr float kRunLaneSampleCost = 0.3f;
constexpr float kRunCopyCostPerPoint = 0.1f;
// A row of the narrower vector (half the lanes) against a row of the wide
// one: on processors that split 512-bit operations into two 256-bit halves
// (measured on Zen 4) it costs about two thirds, so a run of up to half the
// lanes is cheaper in the narrower vector.
constexpr float kNarrowRowCost = 0.65f;
// A run whose strings are cut into segments pays, each sample, for the links
// between its segments.
constexpr float kSegmentSampleCost = 4.0f;
// Long sub-blocks search for the fewest points a lane that fit; shorter ones
// take the first of two quick choices (measured faster at 64 frames).
constexpr int kFewestPointsMinFrames = 256;

// The fewest points per lane that fit keys j..i-1 (moving points `moving`,
// `total` in all) into `lanes` lanes with each string cut into segments of
// that many points; 0 when cutting gains nothing over a lane a key. Keys
// short enough for a single segment take a lane each, so a run may hold up to
// one key fewer than its lanes: a worker that owns every other key (two
// workers) then covers the treble's quickly shortening strings in two or
// three runs instead of four or five, and each run costs its set-up every
// sample.
int segmentFor(const int* moving, int j, int i, int total, int lanes, int longest, bool fewest) {
    const int keys = i - j;
    if (keys >= lanes) return 0;
    auto fits = [&](int segment) {
        int used = 0;
        for (int q = j; q < i && used <= lanes; ++q) used += (moving[q] + segment - 1) / segment;
        return used <= lanes;
    };
    // No fewer points a lane than with no lane idle; a length that always
    // fits (each key wastes under a lane).
    int low = (total + lanes - 1) / lanes, high = (total + lanes - keys - 1) / (lanes - keys);
    if (high > longest) high = longest;
    if (!fewest) return fits(low) ? (low < longest ? low : 0) : (high < longest ? high : 0);
    while (low < high) {  // the fewest that fit
        const int middle = (low + high) / 2;
        if (fits(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low < longest ? low : 0;
}
// The shortest sub-blocks (a few frames between events) always take the
// single-key path: planning and copying into the lanes would cost more than
// they save.
constexpr int kRunMinFrames = 4;
}  // namespace

// Sub-block lengths are planned as the power of two at or below them: a
// plan fits lengths of the same order alike, and a cached plan then serves
// every sub-block of that order (events cut blocks at any frame).
static int planningFrames(int frames) {
    int f = 1;
    while (f <= frames / 2) f *= 2;
    return frames < 1 ? frames : f;
}

int planKeyRuns(const int* lens, int n, LaneWidths widths, int frames, KeyRun* runs) {
    frames = planningFrames(frames);
    const int width = widths.width;
    const int narrowWidth = widths.narrowWidth > 1 && widths.narrowWidth < width ? widths.narrowWidth : 0;
    if (frames < kRunMinFrames || width < 2) {
        for (int i = 0; i < n; ++i) runs[i] = KeyRun{i, 1, false};
        return n;
    }
    float best[kNumKeys + 1];
    KeyRun last[kNumKeys + 1];  // the run that ends the best split of the first i keys
    int moving[kNumKeys];
    for (int i = 0; i < n; ++i) moving[i] = lens[i] > 1 ? lens[i] - 1 : 1;
    const bool fewest = frames >= kFewestPointsMinFrames;
    best[0] = 0.0f;
    for (int i = 1; i <= n; ++i) {
        const int vectors = (lens[i - 1] - 1 + width - 1) / width;
        // A key on its own masks the lanes past its string in its rows too.
        best[i] = best[i - 1] + frames * (2.0f * vectors * kSingleVectorCost * widths.maskedRowCost + kSingleSampleCost);
        last[i] = KeyRun{i - 1, 1, false};
        int longest = 0, points = 0, longestMoving = 0, shortest = kMaxPoints + 1;
        for (int j = i - 1; j >= 0 && i - j <= width; --j) {
            longest = lens[j] > longest ? lens[j] : longest;
            shortest = lens[j] < shortest ? lens[j] : shortest;
            longestMoving = moving[j] > longestMoving ? moving[j] : longestMoving;
            points += lens[j];
            const int keys = i - j;
            const float perSample = kRunSampleCost + kRunLaneSampleCost * keys;
            const float copy = kRunCopyCostPerPoint * 4.0f * points;
            auto consider = [&](int lanes, float rowCost, float maskedRowCost, int segment) {
                const int rows = segment > 0 ? segment + 1 : longest;
                // Rows up to the shortest lane's end move every lane; the
                // rest keep some lanes' fixed ends.
                int whole = shortest;
                if (segment > 0) {
                    whole = rows;  // then the shortest of the keys' last lanes
                    for (int q = j; q < i; ++q) {
                        const int last = moving[q] - (moving[q] - 1) / segment * segment + 1;  // the key's last lane
                        whole = last < whole ? last : whole;
                    }
                }
                const float rowCosts = rowCost * (static_cast<float>(whole) + maskedRowCost * static_cast<float>(rows - whole));
                const float cost = best[j] +
                                   frames * (2.0f * rowCosts + perSample + (segment > 0 ? kSegmentSampleCost : 0.0f)) +
                                   kRunCopyCostPerPoint * 4.0f * rows * lanes + copy;
                if (cost < best[i]) {
                    best[i] = cost;
                    last[i] = KeyRun{j, keys, true, lanes < width, segment};
                }
            };
            const int total = points - keys;  // moving points
            consider(width, 1.0f, widths.maskedRowCost, 0);
            if (const int segment = segmentFor(moving, j, i, total, width, longestMoving, fewest))
                consider(width, 1.0f, widths.maskedRowCost, segment);
            if (keys <= narrowWidth) {
                consider(narrowWidth, kNarrowRowCost, widths.narrowMaskedRowCost, 0);
                if (const int segment = segmentFor(moving, j, i, total, narrowWidth, longestMoving, fewest))
                    consider(narrowWidth, kNarrowRowCost, widths.narrowMaskedRowCost, segment);
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

static_assert(PlanCache::kMaxKeys >= kNumKeys, "a plan holds every key");

const KeyRun* planKeyRunsCached(PlanCache& cache, const int* keys, const int* lens, int n, LaneWidths widths,
                                int frames, int& runCount) {
    frames = planningFrames(frames);
    const bool same = cache.count == n && cache.frames == frames && cache.widths.width == widths.width &&
                      cache.widths.narrowWidth == widths.narrowWidth &&
                      std::equal(keys, keys + n, cache.keys) && std::equal(lens, lens + n, cache.lens);
    if (!same) {
        flushKeptLanes(cache);  // the kept rows follow the plan they were made for
        cache.count = n;
        cache.frames = frames;
        cache.widths = widths;
        std::copy(keys, keys + n, cache.keys);
        std::copy(lens, lens + n, cache.lens);
        cache.runCount = planKeyRuns(lens, n, widths, frames, cache.runs);
    }
    runCount = cache.runCount;
    return cache.runs;
}

void flushKeptLanes(PlanCache& cache) {
    for (unsigned valid = cache.keptValid; valid; valid &= valid - 1) {
        const int slot = __builtin_ctz(valid);
        cache.keptFlush[slot](static_cast<unsigned char*>(cache.keptLanes) + slot * PlanCache::kKeptRunBytes);
    }
    cache.keptValid = 0;
}
