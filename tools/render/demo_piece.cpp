#include "tools/render/demo_piece.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "tools/render/tempo_map.h"

namespace render {

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kTicksPerEighth = kTicksPerQuarter / 2;
constexpr int kTicksPerBar = 3 * kTicksPerQuarter;

// One bar per string. A note is pitch-and-octave then a length: e eighth,
// q quarter, h half, h. dotted half; notes joined by '+' sound together.
constexpr std::string_view kRightHand[] = {
    "D5q G4e A4e B4e C5e", "D5q G4q G4q", "E5q C5e D5e E5e F#5e", "G5q G4q G4q",
    "C5q D5e C5e B4e A4e", "B4q C5e B4e A4e G4e", "F#4q G4e A4e B4e G4e", "A4h.",
    "D5q G4e A4e B4e C5e", "D5q G4q G4q", "E5q C5e D5e E5e F#5e", "G5q G4q G4q",
    "C5q D5e C5e B4e A4e", "B4q C5e B4e A4e G4e", "A4q B4e A4e G4e F#4e", "G4h.",
    "B5q G5e A5e B5e G5e", "A5q D5e E5e F#5e D5e", "G5q E5e F#5e G5e D5e", "C#5q B4e C#5e A4q",
    "A4e B4e C#5e D5e E5e F#5e", "G5q F#5q E5q", "F#5q A4q C#5q", "D5h.",
    "D5q G4e F#4e G4q", "E5q G4e F#4e G4q", "D5q C5q B4q", "A4e G4e F#4e G4e A4q",
    "D4e E4e F#4e G4e A4e B4e", "C5q B4q A4q", "B4e D5e G4q F#4q", "G4+B4+D5h.",
};
constexpr std::string_view kLeftHand[] = {
    "G3+B3+D4h A3q", "B3h.", "C4h.", "B3h.",
    "A3h.", "G3h.", "D4q B3q G3q", "D4q D3e C4e B3e A3e",
    "B3h A3q", "G3q B3q G3q", "C4h.", "B3q C4e B3e A3e G3e",
    "A3h F#3q", "G3h B3q", "C4q D4q D3q", "G3h G2q",
    "G2+G3h.", "F#2+F#3h.", "E2+E3h G2+G3q", "A2+A3h A1+A2q",
    "A2+A3h.", "B2+B3q D3+D4q C#3+C#4q", "D3+D4q F#2+F#3q A2+A3q", "D2+D3q D3q C4q",
    "B3h.", "C4h.", "B3q A3q G3q", "D3h F#3q",
    "G3h B3q", "C4q D4q D3q", "G3q B2q D3q", "G1+G2h.",
};
constexpr int kBars = 32;
static_assert(std::size(kRightHand) == kBars && std::size(kLeftHand) == kBars);

// Loudness of each bar: an echo in the repeat of the first phrase, forte in
// the middle section, and a diminuendo to the close.
constexpr int kBarVelocity[kBars] = {
    72, 74, 76, 78, 74, 72, 70, 66, 52, 54, 56, 58, 56, 54, 52, 50,
    80, 84, 88, 90, 86, 92, 94, 88, 74, 72, 70, 68, 64, 60, 56, 54,
};

struct Note {
    int tick, length, key, velocity;
};

int parseKey(std::string_view& text) {
    static constexpr int kStep[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    const char letter = text.at(0);
    if (letter < 'A' || letter > 'G') throw std::logic_error("demo piece: bad note name");
    int key = kStep[letter - 'A'];
    std::size_t i = 1;
    if (text.at(i) == '#') ++key, ++i;
    if (text.at(i) == 'b') --key, ++i;
    const int octave = text.at(i) - '0';
    text.remove_prefix(i + 1);
    return 12 * (octave + 1) + key;
}

int parseLength(std::string_view& text) {
    int length = 0;
    switch (text.at(0)) {
        case 'e': length = kTicksPerEighth; break;
        case 'q': length = 2 * kTicksPerEighth; break;
        case 'h': length = 4 * kTicksPerEighth; break;
        default: throw std::logic_error("demo piece: bad note length");
    }
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '.') length += length / 2, text.remove_prefix(1);
    return length;
}

// Adds the notes of one hand; melody notes are played slightly detached,
// the accompaniment legato.
void addHand(const std::string_view (&bars)[kBars], int velocityOffset, int gap, std::vector<Note>& notes) {
    for (int bar = 0; bar < kBars; ++bar) {
        std::string_view text = bars[bar];
        int tick = bar * kTicksPerBar;
        while (!text.empty()) {
            std::vector<int> keys{parseKey(text)};
            while (!text.empty() && text[0] == '+') text.remove_prefix(1), keys.push_back(parseKey(text));
            const int length = parseLength(text);
            const int inBar = tick - bar * kTicksPerBar;
            // Downbeats a little stronger, offbeats a little lighter.
            const int accent = inBar == 0 ? 8 : (inBar % kTicksPerQuarter == 0 ? 0 : -5);
            for (int key : keys)
                notes.push_back({tick, length - gap, key,
                                 std::clamp(kBarVelocity[bar] + velocityOffset + accent, 1, 127)});
            tick += length;
            while (!text.empty() && text[0] == ' ') text.remove_prefix(1);
        }
        if (tick != (bar + 1) * kTicksPerBar) throw std::logic_error("demo piece: bar of the wrong length");
    }
}

struct TickEvent {
    int tick;
    int order;  // at equal ticks: releases, then pedal, then strikes
    TimedMidi midi;
};

TimedMidi message(std::uint8_t status, int a, int b) {
    TimedMidi m;
    m.bytes = {status, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
    m.size = 3;
    return m;
}

}  // namespace

MidiSong demoPiece(int sampleRate) {
    std::vector<Note> notes;
    addHand(kRightHand, 0, kTicksPerEighth / 6, notes);
    addHand(kLeftHand, -14, 10, notes);

    // The last chord is held under a fermata for a second bar and released
    // together with the pedal.
    const int lastBarStart = (kBars - 1) * kTicksPerBar;
    const int finalRelease = lastBarStart + 2 * kTicksPerBar;
    for (Note& n : notes)
        if (n.tick >= lastBarStart) n.length = finalRelease - n.tick;

    std::vector<TickEvent> events;
    for (const Note& n : notes) {
        events.push_back({n.tick, 2, message(0x90, n.key, n.velocity)});
        events.push_back({n.tick + n.length, 0, message(0x80, n.key, 64)});
    }
    // Pedal changed with each bar: lifted on the downbeat, pressed again just
    // after it so the new harmony is caught without the old one.
    for (int bar = 0; bar < kBars; ++bar) {
        const int start = bar * kTicksPerBar;
        if (bar > 0) events.push_back({start, 1, message(0xB0, 64, 0)});
        events.push_back({start + kTicksPerEighth / 4, 1, message(0xB0, 64, 127)});
    }
    events.push_back({finalRelease, 1, message(0xB0, 64, 0)});
    std::stable_sort(events.begin(), events.end(), [](const TickEvent& a, const TickEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    // Allegretto, broadening over the last two bars.
    TempoMap tempo = TempoMap::metrical(kTicksPerQuarter, sampleRate);
    tempo.setTempo(0, 60000000 / 112);
    tempo.setTempo(30 * kTicksPerBar, 60000000 / 100);
    tempo.setTempo(31 * kTicksPerBar, 60000000 / 80);

    MidiSong song;
    for (const TickEvent& e : events) {
        TimedMidi m = e.midi;
        m.frame = tempo.frameAt(e.tick);
        song.events.push_back(m);
    }
    song.endFrame = song.events.back().frame;
    return song;
}

}  // namespace render
