// Converts MIDI ticks to output frames. Every frame is computed from the
// exact rational time of its tick since the start, so long pieces with many
// tempo changes do not drift.
#pragma once

#include <cstdint>
#include <vector>

namespace render {

class TempoMap {
public:
    // Metrical time: ticks per quarter note, tempo 120 bpm until told otherwise.
    static TempoMap metrical(int ticksPerQuarter, int sampleRate);
    // SMPTE time: frames per second (24, 25, 29 for 29.97 drop-frame, 30) and
    // ticks per SMPTE frame. Tempo changes do not apply.
    static TempoMap smpte(int framesPerSecond, int ticksPerFrame, int sampleRate);

    // Tempo changes must come in tick order; a later change at the same tick
    // replaces an earlier one. Ignored in SMPTE time.
    void setTempo(std::int64_t tick, std::uint32_t microsPerQuarter);

    // The output frame of a tick, rounded to the nearest frame.
    std::int64_t frameAt(std::int64_t tick) const;

private:
    struct Segment {
        std::int64_t tick;          // where the segment starts
        __int128 elapsed;           // sum of ticks x tempo before it
        std::uint32_t microsPerQuarter;
    };
    TempoMap(bool metrical, __int128 numerator, __int128 denominator);

    bool metrical_;
    // seconds x sampleRate = elapsed x numerator_ / denominator_
    __int128 numerator_;
    __int128 denominator_;
    std::vector<Segment> segments_;
};

}  // namespace render
