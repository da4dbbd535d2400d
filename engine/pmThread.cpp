#include "engine/pmThread.h"

#include <algorithm>

#include "engine/tick_clock.h"

pmThread::pmThread(int requestedCount) {
    count = std::clamp(requestedCount > 0 ? requestedCount : processorCount(), 1, kMaxWorkers);
    if (count == 1) return;  // the single job runs on the calling thread
    for (int t = 0; t < count; ++t) {
        ThreadSlot& slot = slots[t];
        slot.running.store(true);
        slot.func = nullptr;
        slot.thread = std::thread(comp, &slot);
    }
}

pmThread::~pmThread() {
    if (count > 1) {
        for (int t = 0; t < count; ++t) {
            ThreadSlot& slot = slots[t];
            slot.running.store(false);
            slot.func = nullptr;
            slot.startSem.post();  // the worker wakes, finds no job, answers and leaves
            slot.doneSem.wait();
            slot.thread.join();
        }
    }
    count = 0;
}

void pmThread::set(int i, void (*func)(void*), void* arg) {
    if (i < 0 || i >= kMaxWorkers) return;
    slots[i].func = func;
    slots[i].arg = arg;
}

void pmThread::sync() {
    if (count < 1) return;
    for (int t = 0; t < count; ++t) slots[t].startSem.post();
    for (int t = 0; t < count; ++t) slots[t].doneSem.wait();
}

void pmThread::syncSharingCaller() {
    if (count < 2) {
        if (slots[0].func) slots[0].func(slots[0].arg);
        return;
    }
    const std::uint64_t posted = readTicks();
    for (int t = 1; t < count; ++t) slots[t].startSem.post();
    const std::uint64_t callerStart = readTicks();
    if (slots[0].func) slots[0].func(slots[0].arg);
    callerTicks = readTicks() - callerStart;
    workerStart = 0;
    for (int t = 1; t < count; ++t) {
        slots[t].doneSem.wait();  // the worker's startTick is now visible here
        // Counters of two cores that disagree read as an immediate start.
        if (slots[t].startTick > posted && slots[t].startTick - posted > workerStart)
            workerStart = slots[t].startTick - posted;
    }
}

int pmThread::comp(void* arg) {
    auto* slot = static_cast<ThreadSlot*>(arg);
    // `running` is read only after a start signal has arrived, so every
    // signal gets exactly one answer: a stop request that comes before this
    // thread got going, or while it was still answering its last job, is
    // seen after the wake-up instead of being lost (which would leave the
    // destructor waiting forever).
    bool backToBack = false;
    for (;;) {
        backToBack = slot->startSem.wait(backToBack ? ThreadSlot::kBackToBackSpinRounds : Signal::kDefaultSpinRounds);
        slot->startTick = readTicks();
        const bool stop = !slot->running.load();
        if (!stop && slot->func) slot->func(slot->arg);
        slot->doneSem.post();
        if (stop) return 0;
    }
}
