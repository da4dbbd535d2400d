#include "tools/render/tempo_map.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace render {

namespace {
constexpr std::uint32_t kDefaultTempo = 500000;  // 120 quarter notes per minute
}

TempoMap::TempoMap(bool metrical, __int128 numerator, __int128 denominator)
    : metrical_(metrical), numerator_(numerator), denominator_(denominator) {
    segments_.push_back({0, 0, metrical ? kDefaultTempo : 1u});
}

TempoMap TempoMap::metrical(int ticksPerQuarter, int sampleRate) {
    if (ticksPerQuarter <= 0 || sampleRate <= 0) throw std::invalid_argument("bad metrical time base");
    // elapsed counts ticks x microseconds per quarter note.
    return TempoMap(true, sampleRate, static_cast<__int128>(ticksPerQuarter) * 1000000);
}

TempoMap TempoMap::smpte(int framesPerSecond, int ticksPerFrame, int sampleRate) {
    if (ticksPerFrame <= 0 || sampleRate <= 0) throw std::invalid_argument("bad SMPTE time base");
    // 29 stands for the NTSC rate 30000/1001 frames per second.
    __int128 fpsNum = framesPerSecond, fpsDen = 1;
    if (framesPerSecond == 29) fpsNum = 30000, fpsDen = 1001;
    else if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 30)
        throw std::invalid_argument("bad SMPTE frame rate");
    return TempoMap(false, static_cast<__int128>(sampleRate) * fpsDen, fpsNum * ticksPerFrame);
}

void TempoMap::setTempo(std::int64_t tick, std::uint32_t microsPerQuarter) {
    if (!metrical_) return;
    Segment& last = segments_.back();
    if (tick < last.tick) throw std::invalid_argument("tempo changes out of order");
    if (tick == last.tick) {
        last.microsPerQuarter = microsPerQuarter;
        return;
    }
    const __int128 elapsed = last.elapsed + static_cast<__int128>(tick - last.tick) * last.microsPerQuarter;
    segments_.push_back({tick, elapsed, microsPerQuarter});
}

std::int64_t TempoMap::frameAt(std::int64_t tick) const {
    auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                  [](std::int64_t t, const Segment& s) { return t < s.tick; });
    const Segment& s = after == segments_.begin() ? segments_.front() : *(after - 1);
    const __int128 elapsed = s.elapsed + static_cast<__int128>(tick - s.tick) * s.microsPerQuarter;
    // Round half up: (2 x value + 1) / 2 in integers.
    const __int128 frame = (2 * elapsed * numerator_ + denominator_) / (2 * denominator_);
    return frame > INT64_MAX ? INT64_MAX : static_cast<std::int64_t>(frame);
}

}  // namespace render
