#include "engine/hand_over_policy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/pmThread.h"
#include "engine/tick_clock.h"

namespace {

constexpr long kThreshold = 300000;

// One sub-block of `updates` point updates at one tick each, as the render
// loop reports it: run together, or handed over with the workers starting
// `workerStart` ticks after the signal. Returns whether it was handed over.
bool subBlock(HandOverPolicy& policy, long updates, std::uint64_t workerStart) {
    const bool go = policy.handOver(updates, 2);
    if (go)
        policy.handedOver(updates / 2, static_cast<std::uint64_t>(updates / 2), workerStart);
    else
        policy.ranTogether(updates, static_cast<std::uint64_t>(updates));
    return go;
}

// Runs sub-blocks together until the first hand-over; returns how many.
int togetherUntilProbe(HandOverPolicy& policy, long updates, std::uint64_t workerStart) {
    int together = 0;
    while (!subBlock(policy, updates, workerStart) && together < 100000) ++together;
    return together;
}

TEST(HandOverPolicy, BeforeAnythingIsTimedTheWorkThresholdDecides) {
    HandOverPolicy policy(kThreshold);
    EXPECT_FALSE(policy.handOver(kThreshold - 1, 2));
    EXPECT_TRUE(policy.handOver(kThreshold, 2));
    EXPECT_FALSE(policy.handOver(100 * kThreshold, 1));  // nobody to hand over to
    // Sub-blocks too short to time teach nothing, nor spans that wrapped
    // round as a counter stepped back.
    policy.ranTogether(HandOverPolicy::kMinTimedPointUpdates - 1, 1000000);
    policy.ranTogether(kThreshold, ~std::uint64_t{0} - 5);
    policy.handedOver(kThreshold, ~std::uint64_t{0} - 5, 0);
    EXPECT_EQ(policy.ticksPerPointUpdate(), 0.0);
    EXPECT_FALSE(policy.handOver(kThreshold - 1, 2));
}

TEST(HandOverPolicy, WorkersThatStayAwakeGetEvenSmallSubBlocks) {
    HandOverPolicy policy(kThreshold);
    const long small = 10000;  // a thirtieth of the threshold
    // Run together at first; as the start estimate relaxes, a probe of two
    // hand-overs follows: asleep at the first, awake at the second.
    const int together = togetherUntilProbe(policy, small, 200000);
    EXPECT_GT(together, 100);
    EXPECT_LT(together, 5000);
    EXPECT_TRUE(subBlock(policy, small, 20));  // the probe's second hand-over
    for (int block = 0; block < 50; ++block) EXPECT_TRUE(subBlock(policy, small, 20)) << block;
    EXPECT_LT(policy.workerStartEstimate(), 100.0);
    EXPECT_DOUBLE_EQ(policy.ticksPerPointUpdate(), 1.0);
}

TEST(HandOverPolicy, WorkersThatSleepBetweenSubBlocksLeaveSmallWorkOnTheCallingThread) {
    HandOverPolicy policy(kThreshold);
    const long small = 10000;
    const std::uint64_t asleep = 200000;  // ticks before a sleeping worker starts
    togetherUntilProbe(policy, small, asleep);
    EXPECT_TRUE(subBlock(policy, small, asleep));  // the probe's second hand-over finds it asleep too
    EXPECT_DOUBLE_EQ(policy.workerStartEstimate(), static_cast<double>(asleep));
    for (int block = 0; block < 50; ++block) EXPECT_FALSE(subBlock(policy, small, asleep)) << block;
    // Work whose workers' share outweighs the start still goes.
    EXPECT_TRUE(policy.handOver(3 * asleep, 2));
    // And the hand-over is tried again later, once the estimate has relaxed.
    EXPECT_LT(togetherUntilProbe(policy, small, asleep), 5000);
}

TEST(HandOverPolicy, OneSlowStartCountsAtOnceQuickOnesGradually) {
    HandOverPolicy policy(kThreshold);
    const long big = 10 * kThreshold;
    EXPECT_TRUE(subBlock(policy, big, 100));
    EXPECT_TRUE(subBlock(policy, big, 100));
    EXPECT_DOUBLE_EQ(policy.workerStartEstimate(), 100.0);
    EXPECT_TRUE(subBlock(policy, big, 1000000));  // a worker preempted once
    EXPECT_DOUBLE_EQ(policy.workerStartEstimate(), 1000000.0);
    EXPECT_TRUE(subBlock(policy, big, 100));  // the work still outweighs it
    EXPECT_GT(policy.workerStartEstimate(), 500000.0);
}

TEST(HandOverPolicy, ThePoolTimesTheCallersJobAndTheWorkersStart) {
    pmThread pool(2);
    auto busy = [](void*) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(3);
        while (std::chrono::steady_clock::now() < end) {
        }
    };
    auto idle = [](void*) {};
    const std::uint64_t before = readTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::uint64_t twoMilliseconds = readTicks() - before;
    pool.set(0, busy, nullptr);
    pool.set(1, idle, nullptr);
    const std::uint64_t syncStart = readTicks();
    pool.syncSharingCaller();
    const std::uint64_t elapsed = readTicks() - syncStart;
    // Spans within the call, not points in time; when the worker starts
    // depends on the machine's load.
    EXPECT_GE(pool.lastCallerTicks(), twoMilliseconds);
    EXPECT_LE(pool.lastCallerTicks(), elapsed);
    EXPECT_LE(pool.lastWorkerStart(), elapsed);
}

}  // namespace
