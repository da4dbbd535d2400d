#include "support/alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::int64_t> newCalls{0};
std::atomic<std::int64_t> deleteCalls{0};

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
}  // namespace

namespace alloccount {
std::int64_t allocations() { return newCalls.load(); }
std::int64_t live() { return newCalls.load() - deleteCalls.load(); }
}  // namespace alloccount

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
