// pelmar-render's Standard MIDI File reader and tempo map on any bytes: a
// file is either read into a well-formed song or refused with an SmfError
// naming an offset inside the file; nothing else may happen.
#include <cstdio>
#include <cstdlib>
#include <span>

#include "tools/render/smf_reader.h"

namespace {
[[noreturn]] void fail(const char* what, long long detail) {
    std::fprintf(stderr, "fuzz check failed: %s (%lld)\n", what, detail);
    std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    render::MidiSong song;
    try {
        song = render::parseSmf(std::span<const std::uint8_t>(data, size), "fuzz.mid");
    } catch (const render::SmfError& e) {
        if (e.offset() > size) fail("error offset beyond the file", static_cast<long long>(e.offset()));
        return 0;
    }
    // Anything else thrown escapes and is reported by libFuzzer as a crash.
    std::int64_t last = 0;
    for (const render::TimedMidi& m : song.events) {
        if (m.frame < last) fail("events out of frame order at frame", m.frame);
        last = m.frame;
        if (m.size != 2 && m.size != 3) fail("message size", m.size);
        if (m.bytes[0] < 0x80 || m.bytes[0] >= 0xF0) fail("status byte", m.bytes[0]);
        for (int i = 1; i < m.size; ++i)
            if (m.bytes[i] & 0x80) fail("data byte", m.bytes[i]);
    }
    if (song.endFrame < last) fail("song ends before its last event", song.endFrame);
    if (song.endFrame > std::int64_t{24} * 3600 * render::kSampleRate) fail("song length", song.endFrame);
    return 0;
}
