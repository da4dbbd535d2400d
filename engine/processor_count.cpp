// The one platform call of the worker pool: how many processors there are.
#include "engine/pmThread.h"

#if defined(__APPLE__)
#include <sys/sysctl.h>
#include <sys/types.h>
#elif defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#include <unistd.h>
#endif

int processorCount() {
#if defined(__APPLE__)
    int mib[2] = {CTL_HW, HW_NCPU};
    int n = 1;
    size_t len = sizeof(n);
    if (sysctl(mib, 2, &n, &len, nullptr, 0) != 0) return 1;
    return n;
#elif defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<int>(info.dwNumberOfProcessors);
#else
    // The processors this process may use, so a host pinned to some cores
    // does not get more workers than it has cores.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0) return CPU_COUNT(&set);
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<int>(n) : 1;
#endif
}
