// Builds Standard MIDI File bytes by hand for tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace smf_bytes {

using Bytes = std::vector<std::uint8_t>;

inline void append(Bytes& out, std::initializer_list<int> values) {
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
}

inline void append32(Bytes& out, std::uint32_t v) { append(out, {int(v >> 24), int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)}); }

// Variable-length quantity.
inline Bytes vlq(std::uint32_t v) {
    Bytes out{static_cast<std::uint8_t>(v & 0x7F)};
    while (v >>= 7) out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
    return out;
}

// One event: delta time, then its bytes.
inline Bytes event(std::uint32_t delta, std::initializer_list<int> bytes) {
    Bytes out = vlq(delta);
    append(out, bytes);
    return out;
}

inline Bytes tempo(std::uint32_t delta, std::uint32_t micros) {
    return event(delta, {0xFF, 0x51, 0x03, int(micros >> 16), int(micros >> 8 & 255), int(micros & 255)});
}

inline Bytes endOfTrack(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }

// An MTrk chunk of the given events; lengthOverride replaces the true length.
inline Bytes track(std::initializer_list<Bytes> events, long lengthOverride = -1) {
    Bytes body;
    for (const Bytes& e : events) body.insert(body.end(), e.begin(), e.end());
    Bytes out{'M', 'T', 'r', 'k'};
    append32(out, lengthOverride >= 0 ? static_cast<std::uint32_t>(lengthOverride) : static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes file(int format, int division, std::initializer_list<Bytes> tracks, int trackCount = -1) {
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    const int count = trackCount >= 0 ? trackCount : static_cast<int>(tracks.size());
    append(out, {format >> 8, format & 255, count >> 8, count & 255, (division >> 8) & 255, division & 255});
    for (const Bytes& t : tracks) out.insert(out.end(), t.begin(), t.end());
    return out;
}

inline void write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

}  // namespace smf_bytes
