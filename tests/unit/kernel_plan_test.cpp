// The split of a worker's keys into key-per-lane runs and single keys: every
// key exactly once, in ascending order (the pickups are summed in that
// order), no run wider than the vector, and the split that pays off.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/kernel_plan.h"

namespace {

std::vector<KeyRun> plan(const std::vector<int>& lens, int width, int frames) {
    std::vector<KeyRun> runs(lens.size());
    runs.resize(planKeyRuns(lens.data(), static_cast<int>(lens.size()), LaneWidths{width}, frames, runs.data()));
    return runs;
}

void expectCoversInOrder(const std::vector<KeyRun>& runs, int keys, int width) {
    int next = 0;
    for (const KeyRun& run : runs) {
        EXPECT_EQ(run.first, next);
        EXPECT_GE(run.count, 1);
        EXPECT_LE(run.count, run.lanes ? width : 1);
        next += run.count;
    }
    EXPECT_EQ(next, keys);
}

TEST(KeyRuns, EveryKeyOnceInOrderForAnyMixOfLengths) {
    std::vector<int> all;  // the keyboard's string lengths: 100 in the bass, shorter up the treble
    for (int k = 0; k < 88; ++k) all.push_back(k < 36 ? 100 : 100 - (k - 35) * 95 / 52);
    for (int width : {4, 8, 16})
        for (int frames : {1, 15, 16, 64, 512, 8192}) {
            expectCoversInOrder(plan(all, width, frames), 88, width);
            expectCoversInOrder(plan({100, 5, 100, 5, 60}, width, frames), 5, width);
            EXPECT_TRUE(plan({}, width, frames).empty());
        }
}

TEST(KeyRuns, ChoosesLanesForFullGroupsAndSingleKeysWhereLanesWouldIdle) {
    // Sixteen bass keys of the same length fill the lanes.
    const auto bass = plan(std::vector<int>(16, 100), 16, 512);
    ASSERT_EQ(bass.size(), 1u);
    EXPECT_TRUE(bass[0].lanes);
    // One long string among short ones: a run would compute all lanes for
    // the long string's length.
    const auto lone = plan({100}, 16, 512);
    ASSERT_EQ(lone.size(), 1u);
    EXPECT_FALSE(lone[0].lanes);
    // The shortest sub-blocks do not pay for copying into the lanes; a few
    // frames more already do.
    for (const KeyRun& run : plan(std::vector<int>(16, 100), 16, 2)) EXPECT_FALSE(run.lanes);
    const auto eight = plan(std::vector<int>(16, 100), 16, 8);
    ASSERT_EQ(eight.size(), 1u);
    EXPECT_TRUE(eight[0].lanes);
}

// Strings cut into segments: every run's segments fit its vector's lanes,
// and a few long strings are cut rather than left alone in idle lanes.
TEST(KeyRuns, CutStringsFitTheirLanes) {
    std::vector<int> all;
    for (int k = 0; k < 88; ++k) all.push_back(k < 36 ? 100 : 100 - (k - 35) * 95 / 52);
    std::vector<int> even, spread;
    for (int k = 0; k < 88; k += 2) even.push_back(all[static_cast<std::size_t>(k)]);
    for (int k = 0; k < 88; k += 9) spread.push_back(all[static_cast<std::size_t>(k)]);
    int cutRuns = 0;
    for (const LaneWidths widths : {LaneWidths{16, 8}, LaneWidths{8}, LaneWidths{4}})
        for (const auto& lens : {all, even, spread, std::vector<int>{100, 100}, std::vector<int>{100, 5, 100, 60, 7}})
            for (int frames : {16, 64, 512}) {
                std::vector<KeyRun> runs(lens.size());
                runs.resize(planKeyRuns(lens.data(), static_cast<int>(lens.size()), widths, frames, runs.data()));
                for (const KeyRun& run : runs) {
                    if (run.segment == 0) continue;
                    ++cutRuns;
                    const int lanes = run.narrow ? widths.narrowWidth : widths.width;
                    int used = 0, longest = 0;
                    for (int i = run.first; i < run.first + run.count; ++i) {
                        const int moving = lens[static_cast<std::size_t>(i)] - 1;
                        used += (moving + run.segment - 1) / run.segment;
                        longest = moving > longest ? moving : longest;
                    }
                    EXPECT_TRUE(run.lanes);
                    EXPECT_LE(used, lanes);
                    EXPECT_LT(run.segment, longest);
                }
            }
    EXPECT_GT(cutRuns, 0);
    // Two bass strings share sixteen lanes, eight segments each.
    std::vector<KeyRun> pair(2);
    const std::vector<int> bass = {100, 100};
    pair.resize(planKeyRuns(bass.data(), 2, LaneWidths{16, 8}, 512, pair.data()));
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(pair[0].count, 2);
    EXPECT_GT(pair[0].segment, 0);
}

// A build whose masked rows cost more (a blend after the addition) gets
// plans with fewer of them: the planner minimises a cost in which the masked
// rows of runs and the vectors of single keys, all partly masked, weigh
// `maskedRowCost` each, so a dearer weight can only lower their total.
TEST(KeyRuns, DearerMaskedRowsLeadToPlansWithFewerOfThem) {
    std::vector<int> all;
    for (int k = 0; k < 88; ++k) all.push_back(k < 36 ? 100 : 100 - (k - 35) * 95 / 52);
    auto maskedWork = [](const std::vector<int>& lens, const std::vector<KeyRun>& runs, int width) {
        float work = 0.0f;
        for (const KeyRun& run : runs) {
            if (!run.lanes) {  // a key on its own: its vectors of both strings
                work += 2.0f * 1.4f * static_cast<float>((lens[static_cast<std::size_t>(run.first)] - 1 + width - 1) / width);
                continue;
            }
            int rows = 0, whole = 101;
            for (int q = run.first; q < run.first + run.count; ++q) {
                const int len = lens[static_cast<std::size_t>(q)], moving = len - 1;
                const int last = run.segment > 0 ? moving - (moving - 1) / run.segment * run.segment + 1 : len;
                rows = std::max(rows, run.segment > 0 ? run.segment + 1 : len);
                whole = std::min(whole, last);
            }
            work += 2.0f * static_cast<float>(rows - whole);
        }
        return work;
    };
    int fewer = 0;
    for (int step : {2, 3, 4, 6, 9})
        for (int first = 0; first < 60; first += 4) {
            std::vector<int> lens;
            for (int k = first; k < 88; k += step) lens.push_back(all[static_cast<std::size_t>(k)]);
            const int n = static_cast<int>(lens.size());
            std::vector<KeyRun> cheap(lens.size()), dear(lens.size());
            cheap.resize(planKeyRuns(lens.data(), n, LaneWidths{8, 0, 1.0f}, 512, cheap.data()));
            dear.resize(planKeyRuns(lens.data(), n, LaneWidths{8, 0, 1.3f}, 512, dear.data()));
            const float before = maskedWork(lens, cheap, 8), after = maskedWork(lens, dear, 8);
            EXPECT_LE(after, before + 1e-3f) << "step " << step << " first " << first;
            if (after < before - 1e-3f) ++fewer;
        }
    EXPECT_GT(fewer, 5);
}

// The cached plan is the plan of the current keys: kept while keys,
// lengths, widths and frames stay, made again when any of them changes.
TEST(KeyRuns, CachedPlanFollowsKeysLengthsWidthsAndFrames) {
    PlanCache cache;
    auto same = [](const KeyRun* runs, int count, const std::vector<KeyRun>& expected) {
        if (count != static_cast<int>(expected.size())) return false;
        for (int r = 0; r < count; ++r)
            if (runs[r].first != expected[r].first || runs[r].count != expected[r].count ||
                runs[r].lanes != expected[r].lanes || runs[r].narrow != expected[r].narrow ||
                runs[r].segment != expected[r].segment)
                return false;
        return true;
    };
    auto fresh = [](const std::vector<int>& lens, LaneWidths widths, int frames) {
        std::vector<KeyRun> runs(lens.size());
        runs.resize(planKeyRuns(lens.data(), static_cast<int>(lens.size()), widths, frames, runs.data()));
        return runs;
    };
    std::vector<int> keys(16), lens(16, 100);
    for (int i = 0; i < 16; ++i) keys[static_cast<std::size_t>(i)] = i;
    int count = 0;
    const KeyRun* runs = planKeyRunsCached(cache, keys.data(), lens.data(), 16, LaneWidths{16, 8}, 512, count);
    EXPECT_TRUE(same(runs, count, fresh(lens, LaneWidths{16, 8}, 512)));
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 16, LaneWidths{16, 8}, 512, count);
    EXPECT_TRUE(same(runs, count, fresh(lens, LaneWidths{16, 8}, 512)));
    // Shorter blocks: single keys only.
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 16, LaneWidths{16, 8}, 2, count);
    EXPECT_TRUE(same(runs, count, fresh(lens, LaneWidths{16, 8}, 2)));
    EXPECT_EQ(count, 16);
    // Other string lengths, other keys, other widths.
    lens[3] = 7;
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 16, LaneWidths{16, 8}, 2, count);
    EXPECT_TRUE(same(runs, count, fresh(lens, LaneWidths{16, 8}, 2)));
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 2, LaneWidths{16, 8}, 512, count);
    EXPECT_TRUE(same(runs, count, fresh({100, 100}, LaneWidths{16, 8}, 512)));
    keys[1] = 40;
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 2, LaneWidths{4}, 512, count);
    EXPECT_TRUE(same(runs, count, fresh({100, 100}, LaneWidths{4}, 512)));
    EXPECT_FALSE(same(runs, count, fresh({100, 100}, LaneWidths{16, 8}, 512)));
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 2, LaneWidths{8}, 512, count);
    EXPECT_TRUE(same(runs, count, fresh({100, 100}, LaneWidths{8}, 512)));
    lens[1] = 5;
    runs = planKeyRunsCached(cache, keys.data(), lens.data(), 2, LaneWidths{8}, 512, count);
    EXPECT_TRUE(same(runs, count, fresh({100, 5}, LaneWidths{8}, 512)));
    EXPECT_FALSE(same(runs, count, fresh({100, 100}, LaneWidths{8}, 512)));
}

}  // namespace
