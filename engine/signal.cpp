#include "engine/signal.h"

#include <cerrno>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PELMAR_CPU_RELAX() _mm_pause()
#elif defined(__aarch64__)
#define PELMAR_CPU_RELAX() __asm__ __volatile__("yield")
#else
#define PELMAR_CPU_RELAX() ((void)0)
#endif

void Signal::post() {
    // A negative count means the waiter went (or is going) to sleep: wake it.
    if (count.fetch_add(1, std::memory_order_release) < 0) sleepPost();
}

bool Signal::tryTake() {
    int c = count.load(std::memory_order_relaxed);
    return c > 0 && count.compare_exchange_weak(c, c - 1, std::memory_order_acquire, std::memory_order_relaxed);
}

bool Signal::wait(int rounds) {
    for (int round = 0; round < rounds; ++round) {
        if (tryTake()) return true;
        PELMAR_CPU_RELAX();
    }
    // Take one post, or announce sleeping by going below zero.
    if (count.fetch_sub(1, std::memory_order_acquire) > 0) return true;
    sleepWait();
    return false;
}

#if defined(_WIN32)

Signal::Signal(int rounds) : spinRounds(rounds), event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
Signal::~Signal() { CloseHandle(event); }
void Signal::sleepPost() { SetEvent(event); }
void Signal::sleepWait() { WaitForSingleObject(event, INFINITE); }

#elif defined(__APPLE__)

#include <fcntl.h>

#include <cstdio>

// Named after the address of this signal, which is unique while it lives.
Signal::Signal(int rounds) : spinRounds(rounds) {
    char name[32];
    std::snprintf(name, sizeof(name), "%lx", reinterpret_cast<unsigned long>(this));
    sem_unlink(name);
    sem = sem_open(name, O_CREAT, 0, 0);
    sem_unlink(name);
}
Signal::~Signal() { sem_close(sem); }
void Signal::sleepPost() { sem_post(sem); }
void Signal::sleepWait() {
    while (sem_wait(sem) != 0 && errno == EINTR) {
    }
}

#else

Signal::Signal(int rounds) : spinRounds(rounds) { sem_init(&sem, 0, 0); }
Signal::~Signal() { sem_destroy(&sem); }
void Signal::sleepPost() { sem_post(&sem); }
void Signal::sleepWait() {
    while (sem_wait(&sem) != 0 && errno == EINTR) {
    }
}

#endif
