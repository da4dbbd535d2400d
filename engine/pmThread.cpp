#include "engine/pmThread.h"

#include <algorithm>

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

int pmThread::comp(void* arg) {
    auto* slot = static_cast<ThreadSlot*>(arg);
    // No look at `running` before the first wait: a pool destroyed before
    // this thread got going would otherwise lose the worker's answer and
    // wait for it forever. Every start signal gets exactly one answer.
    do {
        slot->startSem.wait();
        if (slot->func) slot->func(slot->arg);
        slot->doneSem.post();
    } while (slot->running.load());
    return 0;
}
