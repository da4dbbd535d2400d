#include "support/alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::int64_t> newCalls{0};
std::atomic<std::int64_t> deleteCalls{0};
std::atomic<std::int64_t> mallocCalls{0};  // every C-library allocation, operator new's included

void* allocate(std::size_t size) {
    newCalls.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void release(void* p) {
    if (!p) return;
    deleteCalls.fetch_add(1, std::memory_order_relaxed);
    std::free(p);
}

void countMalloc() { mallocCalls.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

namespace alloccount {
std::int64_t allocations() { return newCalls.load(); }
std::int64_t live() { return newCalls.load() - deleteCalls.load(); }
// operator new allocates with malloc, once per call.
std::int64_t cAllocations() { return mallocCalls.load() - newCalls.load(); }
}  // namespace alloccount

// The C library's allocations are seen in one of two ways. Under a sanitizer
// its runtime owns malloc and calls a hook on every allocation. Otherwise this
// program defines malloc and its relatives itself, which the dynamic linker
// puts before the C library's for every library loaded, counts, and hands
// over to the C library's own entry points; free stays the C library's.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Part of every sanitizer runtime, though GCC's headers do not declare it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace {
void onAllocation(const volatile void*, std::size_t) { countMalloc(); }
void onFree(const volatile void*) {}

// The runtime takes a pair of hooks only, never one alone.
[[maybe_unused]] const bool hooked = __sanitizer_install_malloc_and_free_hooks(onAllocation, onFree) != 0;
}  // namespace
#else
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t size) {
    countMalloc();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    countMalloc();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    countMalloc();
    return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    countMalloc();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    countMalloc();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    countMalloc();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22;  // EINVAL
    void* p = __libc_memalign(alignment, size);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
}
#endif

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
