// A cheap monotonic counter for timing work on the audio thread: never a
// system call. On x86 the processor's time-stamp counter (constant-rate and
// kept in step across cores on the processors this plug-in runs on); on
// other processors the standard steady clock, which reads a counter in user
// space on the systems we build for. Only differences of ticks read on the
// same machine are ever compared, so the unit does not matter.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
inline std::uint64_t readTicks() { return __rdtsc(); }
#else
#include <chrono>
inline std::uint64_t readTicks() {
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}
#endif
