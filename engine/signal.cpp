#include "engine/signal.h"

#include <cerrno>

#if defined(_WIN32)

Signal::Signal() : event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
Signal::~Signal() { CloseHandle(event); }
void Signal::post() { SetEvent(event); }
void Signal::wait() { WaitForSingleObject(event, INFINITE); }

#elif defined(__APPLE__)

#include <fcntl.h>

#include <cstdio>

// Named after the address of this signal, which is unique while it lives.
Signal::Signal() {
    char name[32];
    std::snprintf(name, sizeof(name), "%lx", reinterpret_cast<unsigned long>(this));
    sem_unlink(name);
    sem = sem_open(name, O_CREAT, 0, 0);
    sem_unlink(name);
}
Signal::~Signal() { sem_close(sem); }
void Signal::post() { sem_post(sem); }
void Signal::wait() {
    while (sem_wait(sem) != 0 && errno == EINTR) {
    }
}

#else

Signal::Signal() { sem_init(&sem, 0, 0); }
Signal::~Signal() { sem_destroy(&sem); }
void Signal::post() { sem_post(&sem); }
void Signal::wait() {
    while (sem_wait(&sem) != 0 && errno == EINTR) {
    }
}

#endif
