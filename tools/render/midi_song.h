// A piece ready to be played through a plug-in: channel messages placed on
// absolute output frames at 44100 frames per second, in playing order.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace render {

constexpr int kSampleRate = 44100;

struct TimedMidi {
    std::int64_t frame = 0;             // absolute frame from the start of the piece
    std::array<std::uint8_t, 3> bytes{};  // status and up to two data bytes
    std::uint8_t size = 0;              // 2 or 3
};

struct MidiSong {
    // Sorted by frame; events of equal frame keep the order of the file.
    std::vector<TimedMidi> events;
    // Where the piece ends: the last end-of-track or event, whichever is later.
    std::int64_t endFrame = 0;
};

}  // namespace render
