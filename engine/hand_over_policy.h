// Whether a sub-block's jobs are handed over to the workers or run together
// on the calling thread, from what the recent ones cost. Handing over saves
// the part of the work the workers take on, but a worker that has gone to
// sleep takes a while to start: tens of microseconds on an idle core, and
// on a virtual machine whose idle processor the hypervisor has parked, up
// to a millisecond. While blocks follow each other closely (an offline
// render, sub-blocks cut by events) the workers are still spinning and
// start at once. So the policy keeps two estimates, in ticks (tick_clock.h):
// what a point update costs, and how long after the signal the workers
// start. It hands over when the share the workers would take costs more
// than their start. The output is the same either way.
//
// While the work stays on the calling thread the start estimate relaxes, so
// the hand-over is tried again now and then: twice in a row, since the
// first finds the workers asleep, and the second shows whether they stay
// awake from one sub-block to the next.
#pragma once

#include <cstdint>

class HandOverPolicy {
public:
    // Before any estimate: sub-blocks of at least this many point updates
    // (one point of one string for one sample) are handed over.
    explicit HandOverPolicy(long pointUpdatesWorthAHandOver) : fallback(pointUpdatesWorthAHandOver) {}

    // Whether `pointUpdates` of work for `workers` jobs go to the workers.
    bool handOver(long pointUpdates, int workers);

    // What a sub-block cost: run together on the calling thread, or handed
    // over (the calling thread's own job, of `callerPointUpdates`, and the
    // latest start of a worker after its signal).
    void ranTogether(long pointUpdates, std::uint64_t ticks);
    void handedOver(long callerPointUpdates, std::uint64_t callerTicks, std::uint64_t workerStartTicks);

    double ticksPerPointUpdate() const { return perUpdate; }
    double workerStartEstimate() const { return start; }

    // Sub-blocks below this many point updates are not timed: the readings
    // would be mostly the timing itself.
    static constexpr long kMinTimedPointUpdates = 2000;
    // Each sub-block run together lowers the start estimate by this share.
    static constexpr double kStartRelaxation = 1.0 / 256.0;

private:
    void learnPerUpdate(double ticksPerUpdate);

    long fallback;
    double perUpdate = 0.0;  // 0: not yet measured
    double start = -1.0;     // < 0: not yet measured
    bool lastHandedOver = false;
    bool probing = false;  // the first hand-over after work run together
};
