// FNV-1a over bytes: a fingerprint of a whole bank for byte-for-byte checks.
#pragma once

#include <cstddef>
#include <cstdint>

inline std::uint64_t fnv1a64(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// Fingerprint of the ten factory programs, computed from the published
// decimal values, offset rows and names (little-endian floats).
constexpr std::uint64_t kFactoryBankHash = 0xf06cb4361d3d0b97ull;
