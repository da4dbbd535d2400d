// Values that the editor or the host's program requests write while the
// render thread reads them (parameters, key offsets, the current program).
// Word-sized relaxed atomic access: no lock, no torn value, no data race.
#pragma once

#include <atomic>

template <class T>
inline T loadShared(const T& value) {
    return std::atomic_ref<T>(const_cast<T&>(value)).load(std::memory_order_relaxed);
}

template <class T>
inline void storeShared(T& target, T value) {
    std::atomic_ref<T>(target).store(value, std::memory_order_relaxed);
}
