// What a process holds that a plug-in could leak: its threads, its open
// files and the heap bytes in use. Under AddressSanitizer or ThreadSanitizer
// the sanitizer's allocator serves every allocation, so the heap is counted
// there; otherwise glibc's count of bytes in use over all arenas.
#pragma once

#include <dirent.h>
#include <malloc.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PELMAR_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PELMAR_SANITIZER_HEAP 1
#endif
#endif
#ifdef PELMAR_SANITIZER_HEAP
// From the sanitizer runtimes' allocator interface (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace usage {

inline int countEntries(const char* path) {
    int n = 0;
    if (DIR* dir = opendir(path)) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++n;
        closedir(dir);
    }
    return n;
}

inline int threads() { return countEntries("/proc/self/task"); }
inline int openFiles() { return countEntries("/proc/self/fd"); }

// glibc's count of bytes in use also moves with what it keeps for reuse:
// chunks parked in each thread's cache count as in use, and every arena it
// gives a new thread brings bookkeeping that counts too. With those two
// tunables off the count moves only with what is allocated and not freed.
// They are read at start-up only, so a program that measures calls this
// first thing: it runs itself again with them set (once; if that fails it
// goes on and measures the noisier way).
constexpr const char* kPreciseTunables = "glibc.malloc.tcache_count=0:glibc.malloc.arena_max=1";

inline void restartWithPreciseHeapCount() {
#ifndef PELMAR_SANITIZER_HEAP
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, kPreciseTunables)) return;
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
    cmdline.close();  // not to be inherited by the new image
    if (args.empty()) return;
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    setenv("GLIBC_TUNABLES", kPreciseTunables, 1);
    execv("/proc/self/exe", argv.data());
#endif
}

inline std::int64_t heapInUse() {
#ifdef PELMAR_SANITIZER_HEAP
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<std::int64_t>(mallinfo2().uordblks);
#endif
}

struct Snapshot {
    int threads = usage::threads();
    int files = usage::openFiles();
    std::int64_t heap = heapInUse();
};

}  // namespace usage
