// Counts the whole test program's allocations, so tests can prove that
// something allocates nothing, or frees all it took: operator new / delete
// calls, and separately the C library's malloc, calloc, realloc and friends
// (which C libraries linked into the plug-in use directly).
#pragma once

#include <cstdint>

namespace alloccount {

std::int64_t allocations();   // operator new calls so far
std::int64_t live();          // allocations not yet deleted
std::int64_t cAllocations();  // malloc, calloc, realloc, posix_memalign, aligned_alloc, memalign calls so far

// Every allocation of either kind: a test that may allocate nothing compares this.
inline std::int64_t any() { return allocations() + cAllocations(); }

}  // namespace alloccount
