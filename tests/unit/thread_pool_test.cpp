#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "engine/pmThread.h"

namespace {

int threadsInProcess() {
    int n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

struct Job {
    std::atomic<int> runs{0};
    std::thread::id ranOn;
};

void runJob(void* arg) {
    auto* job = static_cast<Job*>(arg);
    job->runs.fetch_add(1);
    job->ranOn = std::this_thread::get_id();
}

TEST(WorkerPool, CountIsLimitedToOneThroughSixteen) {
    EXPECT_EQ(pmThread(1).nb(), 1);
    EXPECT_EQ(pmThread(40).nb(), 16);
    EXPECT_EQ(pmThread(3).nb(), 3);
    const int system = std::clamp(processorCount(), 1, 16);
    EXPECT_EQ(pmThread().nb(), system);
}

TEST(WorkerPool, OneProcessorMeansNoThread) {
    const int before = threadsInProcess();
    pmThread pool(1);
    EXPECT_EQ(threadsInProcess(), before);
}

TEST(WorkerPool, EachSyncRunsEverySlotOnceOnItsOwnThread) {
    const int before = threadsInProcess();
    {
        pmThread pool(4);
        EXPECT_EQ(threadsInProcess(), before + 4);
        Job jobs[4];
        for (int t = 0; t < 4; ++t) pool.set(t, runJob, &jobs[t]);
        for (int round = 1; round <= 50; ++round) {
            pool.sync();
            for (int t = 0; t < 4; ++t) ASSERT_EQ(jobs[t].runs.load(), round);
        }
        std::set<std::thread::id> seen;
        for (auto& job : jobs) seen.insert(job.ranOn);
        EXPECT_EQ(seen.size(), 4u);
        EXPECT_EQ(seen.count(std::this_thread::get_id()), 0u);
    }
    EXPECT_EQ(threadsInProcess(), before) << "destruction ends and joins every worker";
}

// Sharing with the caller: slot 0's job on the calling thread, every other
// slot's on its own worker, each once per call, and the caller back only
// when the slowest worker has answered; interleaved with plain syncs, which
// still use every worker (one signal, one job, one answer throughout).
TEST(WorkerPool, SharingSyncRunsSlotZeroOnTheCallerAndWaitsForTheRest) {
    pmThread pool(3);
    Job jobs[3];
    std::atomic<bool> slowDone{false};
    struct Slow {
        Job* job;
        std::atomic<bool>* done;
    } slow{&jobs[2], &slowDone};
    pool.set(0, runJob, &jobs[0]);
    pool.set(1, runJob, &jobs[1]);
    pool.set(2, [](void* arg) {
        auto* s = static_cast<Slow*>(arg);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        runJob(s->job);
        s->done->store(true);
    }, &slow);
    for (int round = 1; round <= 20; ++round) {
        slowDone.store(false);
        if (round % 4 == 0) {
            pool.sync();
            EXPECT_NE(jobs[0].ranOn, std::this_thread::get_id());
        } else {
            pool.syncSharingCaller();
            EXPECT_EQ(jobs[0].ranOn, std::this_thread::get_id());
        }
        EXPECT_TRUE(slowDone.load());
        for (auto& job : jobs) ASSERT_EQ(job.runs.load(), round);
        EXPECT_NE(jobs[1].ranOn, std::this_thread::get_id());
        EXPECT_NE(jobs[1].ranOn, jobs[2].ranOn);
    }
    pmThread single(1);  // no worker: the caller runs the one job
    Job alone;
    single.set(0, runJob, &alone);
    single.syncSharingCaller();
    EXPECT_EQ(alone.runs.load(), 1);
    EXPECT_EQ(alone.ranOn, std::this_thread::get_id());
}

TEST(WorkerPool, SyncWaitsForTheSlowestJob) {
    pmThread pool(2);
    std::atomic<bool> slowDone{false};
    struct Slow {
        std::atomic<bool>* done;
    } slow{&slowDone};
    Job fast;
    pool.set(0, [](void* arg) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        static_cast<Slow*>(arg)->done->store(true);
    }, &slow);
    pool.set(1, runJob, &fast);
    pool.sync();
    EXPECT_TRUE(slowDone.load());
    EXPECT_EQ(fast.runs.load(), 1);
}

// A wait tells whether it took its post while polling or had to sleep: the
// workers poll longer only while posts come that quickly.
TEST(Signal, WaitTellsWhetherThePostCameWhilePolling) {
    Signal signal;
    signal.post();
    signal.post();
    EXPECT_TRUE(signal.wait(0));  // posts already there are taken without sleeping
    EXPECT_TRUE(signal.wait(Signal::kDefaultSpinRounds));
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        signal.post();
    });
    EXPECT_FALSE(signal.wait(10));  // polls for well under a millisecond, then sleeps until the post
    late.join();
    // Nothing is left over and nothing was lost: one more post, one more take.
    signal.post();
    EXPECT_TRUE(signal.wait(Signal::kDefaultSpinRounds));
}

TEST(WorkerPool, IdleWorkersWithoutJobsAnswerAndEnd) {
    const int before = threadsInProcess();
    {
        pmThread pool(3);
        pool.sync();  // no job set: every worker answers at once
    }
    EXPECT_EQ(threadsInProcess(), before);
}

}  // namespace
