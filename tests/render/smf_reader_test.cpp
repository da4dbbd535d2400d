// The Standard MIDI File reader on hand-made files: event decoding, the
// tempo map, track merging, and refusal of malformed or truncated files.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "tests/render/smf_bytes.h"
#include "tools/render/smf_reader.h"

namespace {

using namespace smf_bytes;
using render::MidiSong;
using render::parseSmf;
using render::SmfError;

MidiSong parse(const Bytes& bytes) { return parseSmf(bytes, "test.mid"); }

// Parses and returns the error, failing the test if there is none.
SmfError parseError(const Bytes& bytes) {
    try {
        parseSmf(bytes, "broken.mid");
    } catch (const SmfError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return SmfError("", 0, "");
}

void expectEvent(const render::TimedMidi& e, std::int64_t frame, std::initializer_list<int> bytes) {
    EXPECT_EQ(e.frame, frame);
    ASSERT_EQ(e.size, bytes.size());
    int i = 0;
    for (int b : bytes) EXPECT_EQ(e.bytes[i++], b) << "byte " << i - 1 << " of the event at frame " << frame;
}

TEST(SmfReader, RunningStatusAndSkippedMetaAndSysex) {
    // 96 ticks per quarter at the default 120 bpm: one tick is 229.6875 frames.
    const Bytes bytes = file(0, 96, {track({
                                        event(0, {0x90, 60, 100}),
                                        event(96, {62, 90}),  // running status
                                        event(0, {0xFF, 0x01, 3, 'a', 'b', 'c'}),
                                        event(0, {0xF0, 2, 0x7E, 0xF7}),
                                        event(48, {0x80, 60, 0}),
                                        event(0, {62, 0}),
                                        event(0, {0xC0, 5}),
                                        event(1, {7}),  // running status with one data byte
                                        endOfTrack(95),
                                    })});
    const MidiSong song = parse(bytes);
    ASSERT_EQ(song.events.size(), 6u);
    expectEvent(song.events[0], 0, {0x90, 60, 100});
    expectEvent(song.events[1], 22050, {0x90, 62, 90});
    expectEvent(song.events[2], 33075, {0x80, 60, 0});
    expectEvent(song.events[3], 33075, {0x80, 62, 0});
    expectEvent(song.events[4], 33075, {0xC0, 5});
    expectEvent(song.events[5], 33305, {0xC0, 7});  // 33304.6875 rounded
    EXPECT_EQ(song.endFrame, 55125);
}

TEST(SmfReader, MetaAndSysexCancelRunningStatus) {
    const Bytes bytes = file(0, 96, {track({event(0, {0x90, 60, 100}), event(0, {0xFF, 0x01, 0}),
                                            event(0, {62, 90}), endOfTrack()})});
    const SmfError error = parseError(bytes);
    EXPECT_EQ(error.offset(), 31u);  // the data byte 62: 14 header + 8 chunk header + 9
    EXPECT_NE(std::string(error.what()).find("broken.mid: byte 31: data byte without a status byte"),
              std::string::npos)
        << error.what();
}

TEST(SmfReader, TempoChangesMidTrack) {
    const Bytes bytes = file(0, 480, {track({
                                         event(480, {0x90, 60, 100}),  // 1/2 s at 120 bpm
                                         tempo(480, 1000000),          // from 1 s: 60 bpm
                                         event(480, {0x90, 62, 100}),  // 1 s later
                                         tempo(480, 250000),           // from 3 s: 240 bpm
                                         event(480, {0x90, 64, 100}),  // 1/4 s later
                                         endOfTrack(),
                                     })});
    const MidiSong song = parse(bytes);
    ASSERT_EQ(song.events.size(), 3u);
    EXPECT_EQ(song.events[0].frame, 22050);
    EXPECT_EQ(song.events[1].frame, 88200);
    EXPECT_EQ(song.events[2].frame, 143325);
    EXPECT_EQ(song.endFrame, 143325);
}

TEST(SmfReader, ManyTempoChangesDoNotDrift) {
    // At 480 ticks per quarter and 120 bpm a tick is 45.9375 frames, a value
    // that doubles hold exactly; rounding per event or per tempo segment
    // would drift by hundreds of frames over this track.
    std::vector<Bytes> events;
    for (int i = 0; i < 3000; ++i) {
        events.push_back(tempo(i == 0 ? 0 : 3, 500000));
        events.push_back(event(0, {0x90, 60, 1 + i % 100}));
    }
    Bytes body;
    for (const Bytes& e : events) body.insert(body.end(), e.begin(), e.end());
    const Bytes eot = endOfTrack();
    body.insert(body.end(), eot.begin(), eot.end());
    Bytes bytes = file(0, 480, {}, 1);
    bytes.insert(bytes.end(), {'M', 'T', 'r', 'k'});
    append32(bytes, static_cast<std::uint32_t>(body.size()));
    bytes.insert(bytes.end(), body.begin(), body.end());

    const MidiSong song = parse(bytes);
    ASSERT_EQ(song.events.size(), 3000u);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(song.events[i].frame, static_cast<std::int64_t>(std::floor(3.0 * i * 45.9375 + 0.5))) << "event " << i;
}

TEST(SmfReader, Format1MergesTracksByTimeThenTrackOrder) {
    const Bytes bytes = file(1, 96,
                             {
                                 track({tempo(0, 250000), endOfTrack(96)}),  // tempo track: 1/4 s per quarter
                                 track({event(48, {0x91, 60, 80}), event(48, {0x81, 60, 0}), endOfTrack()}),
                                 track({event(0, {0x92, 67, 70}), event(48, {0x92, 64, 60}), endOfTrack(144)}),
                             });
    const MidiSong song = parse(bytes);
    ASSERT_EQ(song.events.size(), 4u);
    expectEvent(song.events[0], 0, {0x92, 67, 70});
    expectEvent(song.events[1], 5513, {0x91, 60, 80});  // 5512.5 rounded up
    expectEvent(song.events[2], 5513, {0x92, 64, 60});  // same time: the later track second
    expectEvent(song.events[3], 11025, {0x81, 60, 0});
    EXPECT_EQ(song.endFrame, 22050);  // the longest track
}

TEST(SmfReader, SmpteDivisionIgnoresTempo) {
    // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
    const Bytes pal = file(0, 0xE728, {track({tempo(0, 250000), event(1000, {0x90, 60, 1}), endOfTrack()})});
    EXPECT_EQ(parse(pal).events.at(0).frame, 44100);
    // 29 stands for 29.97 (30000/1001) frames per second: 30 frames last 1.001 s.
    const Bytes ntsc = file(0, 0xE301, {track({event(30, {0x90, 60, 1}), endOfTrack()})});
    EXPECT_EQ(parse(ntsc).events.at(0).frame, 44144);
}

TEST(SmfReader, RefusesBadHeaders) {
    const Bytes body = track({endOfTrack()});
    EXPECT_NE(std::string(parseError({'R', 'I', 'F', 'F', 0, 0, 0, 0}).what()).find("not a Standard MIDI File"),
              std::string::npos);
    EXPECT_NE(std::string(parseError(file(2, 96, {body})).what()).find("format 2"), std::string::npos);
    EXPECT_NE(std::string(parseError(file(0, 96, {body, body})).what()).find("format 0 file with 2 tracks"),
              std::string::npos);
    EXPECT_NE(std::string(parseError(file(0, 0, {body})).what()).find("division of 0"), std::string::npos);
    EXPECT_NE(std::string(parseError(file(0, 0xE528, {body})).what()).find("27 frames per second"),
              std::string::npos);
}

TEST(SmfReader, RefusesMalformedEvents) {
    auto messageOf = [](std::initializer_list<Bytes> events) {
        return std::string(parseError(file(0, 96, {track(events)})).what());
    };
    EXPECT_NE(messageOf({event(0, {0x90, 60, 100})}).find("without an end-of-track"), std::string::npos);
    EXPECT_NE(messageOf({event(0, {0x90, 60, 0x90}), endOfTrack()}).find("status byte where a data byte"),
              std::string::npos);
    EXPECT_NE(messageOf({{0x81, 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00}}).find("longer than four bytes"),
              std::string::npos);
    EXPECT_NE(messageOf({tempo(0, 0), endOfTrack()}).find("tempo of 0"), std::string::npos);
    EXPECT_NE(messageOf({event(0, {0xF8}), endOfTrack()}).find("not allowed"), std::string::npos);
    EXPECT_NE(messageOf({endOfTrack(), event(0, {0x90, 60, 100})}).find("data after the end-of-track"),
              std::string::npos);
}

TEST(SmfReader, LyingChunkLengths) {
    const Bytes notes = track({event(0, {0x90, 60, 100}), event(96, {0x80, 60, 0}), endOfTrack()});
    const long trueLength = static_cast<long>(notes.size()) - 8;

    // Longer than the file: the offset is that of the length field.
    SmfError error = parseError(file(0, 96, {track({event(0, {0x90, 60, 100}), event(96, {0x80, 60, 0}), endOfTrack()},
                                                   trueLength + 100)}));
    EXPECT_EQ(error.offset(), 18u);
    EXPECT_NE(std::string(error.what()).find("runs past the end of the file"), std::string::npos) << error.what();

    // Shorter than its events: the read that crosses the chunk's end (at 28) is named.
    error = parseError(file(0, 96, {track({event(0, {0x90, 60, 100}), event(96, {0x80, 60, 0}), endOfTrack()}, 6)}));
    EXPECT_EQ(error.offset(), 28u);
    EXPECT_NE(std::string(error.what()).find("past the end of its track chunk"), std::string::npos) << error.what();

    // Longer, swallowing the next track's header: data after end-of-track.
    const Bytes second = track({endOfTrack()});
    error = parseError(file(1, 96, {track({event(0, {0x90, 60, 100}), event(96, {0x80, 60, 0}), endOfTrack()},
                                          trueLength + static_cast<long>(second.size())),
                                    second}));
    EXPECT_EQ(error.offset(), 22u + static_cast<std::size_t>(trueLength));
    EXPECT_NE(std::string(error.what()).find("data after the end-of-track"), std::string::npos) << error.what();

    // The header promises more tracks than there are.
    EXPECT_NE(std::string(parseError(file(1, 96, {notes}, 2)).what()).find("file ends before track 2 of 2"),
              std::string::npos);
}

TEST(SmfReader, EveryTruncationIsAnErrorWithAnOffsetInsideTheFile) {
    const Bytes whole = file(1, 96,
                             {track({tempo(0, 400000), endOfTrack()}),
                              track({event(0, {0x90, 60, 100}), event(0, {0xF0, 1, 0xF7}), event(96, {0x80, 60, 0}),
                                     endOfTrack()})});
    ASSERT_NO_THROW(parse(whole));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const SmfError error = parseError(cut);
        EXPECT_LE(error.offset(), length) << "cut at " << length;
        EXPECT_EQ(std::string(error.what()).rfind("broken.mid: byte ", 0), 0u) << error.what();
    }
}

TEST(SmfReader, DamagedFilesGiveErrorsNotCrashes) {
    const Bytes whole = file(1, 96,
                             {track({tempo(0, 400000), endOfTrack()}),
                              track({event(0, {0x90, 60, 100}), event(0, {0xFF, 0x01, 2, 'h', 'i'}),
                                     event(96, {60, 0}), event(0, {0xB0, 64, 127}), endOfTrack()})});
    std::mt19937 random(5);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = whole;
        for (int flips = 1 + round % 3; flips > 0; --flips)
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        try {
            const MidiSong song = parseSmf(damaged, "damaged.mid");
            for (const render::TimedMidi& e : song.events) ASSERT_TRUE(e.bytes[0] >= 0x80 && e.bytes[0] < 0xF0);
        } catch (const SmfError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
