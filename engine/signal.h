// A counting signal between two threads: one side posts, the other waits.
// The worker pool hands each job over with one post and answers with one.
//
// A wait first spins for a short while on an atomic count: a job or answer
// that follows within that time is taken without any system call (a sleeping
// hand-over costs tens of microseconds, a spinning one well under one). Only
// then does the waiter sleep on the operating system's primitive, and a post
// makes the system call only when its waiter is asleep.
// Platform seam: POSIX unnamed semaphores on Linux, named ones on Mac OS X
// (which lacks the unnamed kind), auto-reset events on Windows (enough, as
// each signal has one waiter).
#pragma once

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <semaphore.h>
#else
#include <semaphore.h>
#endif

class Signal {
public:
    // spinRounds: how many times a wait polls the count before sleeping.
    explicit Signal(int spinRounds = kDefaultSpinRounds);
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    void post();
    void wait() { wait(spinRounds); }  // an interrupted sleep is repeated
    // The same with `rounds` of polling; returns whether the post was taken
    // while polling (false: the waiter slept).
    bool wait(int rounds);

    // About 20 to 40 microseconds of polling on current processors.
    static constexpr int kDefaultSpinRounds = 1000;

private:
    bool tryTake();
    void sleepPost();
    void sleepWait();

    // Posts not yet taken; negative while the waiter sleeps or is about to.
    std::atomic<int> count{0};
    const int spinRounds;
#if defined(_WIN32)
    HANDLE event;
#elif defined(__APPLE__)
    sem_t* sem;
#else
    sem_t sem;
#endif
};
