// The split of a worker's keys into key-per-lane runs and single keys: every
// key exactly once, in ascending order (the pickups are summed in that
// order), no run wider than the vector, and the split that pays off.
#include <gtest/gtest.h>

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
    // Short sub-blocks do not pay for copying into the lanes.
    for (const KeyRun& run : plan(std::vector<int>(16, 100), 16, 8)) EXPECT_FALSE(run.lanes);
}

}  // namespace
