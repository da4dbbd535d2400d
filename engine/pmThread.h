// The worker pool: one thread per processor (at most 16), each woken once per
// job by a start signal of its own and answering with a done signal of its own.
// With one processor no thread exists and the caller runs the job itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "engine/signal.h"

constexpr int kMaxWorkers = 16;

// Each slot, and each of its two signals, sits on cache lines of its own:
// the worker polls startSem while the caller polls doneSem, and no slot's
// traffic slows another's.
constexpr std::size_t kCacheLine = 64;

struct alignas(kCacheLine) ThreadSlot {
    void (*func)(void*) = nullptr;  // the job to run, or none
    void* arg = nullptr;
    std::thread thread;
    std::atomic<bool> running{false};   // false once the worker is to leave
    alignas(kCacheLine) Signal startSem;  // one post per job
    // While jobs follow each other closely (the last one came while the
    // worker was still polling: blocks rendered back to back), the worker
    // polls this long for the next: on a shared machine the calling thread
    // is now and then held up for tens of microseconds, and a worker that
    // fell asleep meanwhile costs the next sub-block its wake-up (50 µs to
    // 1 ms on a virtual machine). After a sleep it polls the usual while,
    // so a host playing live does not keep a core busy between its blocks.
    static constexpr int kBackToBackSpinRounds = 4 * Signal::kDefaultSpinRounds;
    // When the worker took its last signal (tick_clock.h): on the line the
    // worker has just taken startSem from, not on the one the caller writes
    // the job to.
    std::uint64_t startTick = 0;
    // One post per answer. The caller waits for answers of work it has just
    // handed out, so it polls longer before sleeping: waking it again would
    // cost tens of microseconds.
    alignas(kCacheLine) Signal doneSem{kAnswerSpinRounds};
    static constexpr int kAnswerSpinRounds = 20000;
};

class pmThread {
public:
    // requestedCount 0 asks the operating system for the processor count;
    // either way the count is limited to 1..16.
    explicit pmThread(int requestedCount = 0);
    ~pmThread();
    pmThread(const pmThread&) = delete;
    pmThread& operator=(const pmThread&) = delete;

    void set(int i, void (*func)(void*), void* arg);
    void sync();  // runs the job of every slot below count and waits for all
    // The same jobs, with slot 0's run on the calling thread while the other
    // workers run theirs: the caller works instead of waiting, and a worker
    // that is slow to wake delays only its own share.
    void syncSharingCaller();
    // Of the last syncSharingCaller: how long the caller's own job took, and
    // how long after the signals the last worker started, in ticks.
    std::uint64_t lastCallerTicks() const { return callerTicks; }
    std::uint64_t lastWorkerStart() const { return workerStart; }
    int nb() const { return count; }

    static int comp(void* slot);  // body of every worker thread

private:
    ThreadSlot slots[kMaxWorkers];
    int count = 0;
    std::uint64_t callerTicks = 0;
    std::uint64_t workerStart = 0;
};

// Processors this process may run on, as the operating system reports them.
int processorCount();
