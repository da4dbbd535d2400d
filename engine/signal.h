// A counting signal between two threads: one side posts, the other waits.
// The worker pool hands each job over with one post and answers with one.
// Platform seam: POSIX unnamed semaphores on Linux, named ones on Mac OS X
// (which lacks the unnamed kind), auto-reset events on Windows.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <semaphore.h>
#else
#include <semaphore.h>
#endif

class Signal {
public:
    Signal();
    ~Signal();
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    void post();
    void wait();  // an interrupted wait is repeated

private:
#if defined(_WIN32)
    HANDLE event;
#elif defined(__APPLE__)
    sem_t* sem;
#else
    sem_t sem;
#endif
};
