#include "engine/hand_over_policy.h"

namespace {
// A span read across a counter that stepped back (a thread moved to a core
// whose counter lags) wraps round to a huge value: such readings are dropped.
constexpr std::uint64_t kImplausibleTicks = std::uint64_t{1} << 62;
}  // namespace

bool HandOverPolicy::handOver(long pointUpdates, int workers) {
    if (workers < 2) return false;
    bool go;
    if (probing && pointUpdates >= kMinTimedPointUpdates) {
        go = true;  // the second of a probe's two hand-overs
    } else if (perUpdate <= 0.0) {
        go = pointUpdates >= fallback;
    } else {
        // Until the workers' start is measured, it is taken to be what the
        // fallback threshold's share of work costs.
        if (start < 0.0) start = static_cast<double>(fallback) * perUpdate * (workers - 1) / workers;
        // The workers' share of the work against their start.
        const double share = static_cast<double>(pointUpdates) * perUpdate * (workers - 1) / workers;
        go = share > start;
    }
    probing = go && !lastHandedOver && perUpdate > 0.0;
    lastHandedOver = go;
    return go;
}

void HandOverPolicy::ranTogether(long pointUpdates, std::uint64_t ticks) {
    if (start > 0.0) start -= start * kStartRelaxation;
    if (pointUpdates < kMinTimedPointUpdates || ticks >= kImplausibleTicks) return;
    learnPerUpdate(static_cast<double>(ticks) / static_cast<double>(pointUpdates));
}

void HandOverPolicy::handedOver(long callerPointUpdates, std::uint64_t callerTicks, std::uint64_t workerStartTicks) {
    if (workerStartTicks >= kImplausibleTicks) workerStartTicks = 0;  // read as an immediate start, as the pool does
    const auto reading = static_cast<double>(workerStartTicks);
    // A probe's first hand-over finds the workers asleep; the second one
    // tells, so the first only counts when nothing is known yet. A slower
    // start counts at once (better to keep the work a while too long than
    // to wait for sleeping workers block after block); quicker ones bring
    // the estimate down gradually.
    if (!probing || start < 0.0) start = start < 0.0 || reading > start ? reading : start + (reading - start) * 0.25;
    if (callerPointUpdates >= kMinTimedPointUpdates && callerTicks < kImplausibleTicks)
        learnPerUpdate(static_cast<double>(callerTicks) / static_cast<double>(callerPointUpdates));
}

void HandOverPolicy::learnPerUpdate(double reading) {
    perUpdate = perUpdate <= 0.0 ? reading : perUpdate + (reading - perUpdate) * 0.125;
}
