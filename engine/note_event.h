// A pending note or pedal event, waiting in the plug-in's event list for the
// frame at which it takes effect, or recycled in its free list.
#pragma once

#include <cstdint>

constexpr std::uint8_t kPedalKey = 128;  // `key` of a sustain pedal event

struct NoteEvent {
    std::int32_t delta;     // frames from the start of the unrendered rest of the block
    std::uint8_t key;       // 0..87, or kPedalKey
    std::uint8_t velocity;  // 0..127 for notes
    std::uint8_t noteOn;    // note on / pedal down
    NoteEvent* next;
};
