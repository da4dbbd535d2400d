// The block loop places every event on its exact frame: checked through a
// recording test plug-in that logs what it receives, and against the real
// plug-in by the onsets of its notes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tests/render/recording_plugin.h"
#include "tools/render/block_renderer.h"
#include "tools/vsthost/plugin_host.h"

namespace {

using namespace render;

class MemorySink : public AudioSink {
public:
    void write(const float* l, const float* r, int frames) override {
        left.insert(left.end(), l, l + frames);
        right.insert(right.end(), r, r + frames);
    }
    std::vector<float> left, right;
};

TimedMidi midi(std::int64_t frame, int status, int a, int b) {
    TimedMidi m;
    m.frame = frame;
    m.bytes = {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
    m.size = 3;
    return m;
}

std::shared_ptr<vsthost::PluginLibrary> recordingLibrary() {
    static auto lib = std::make_shared<vsthost::PluginLibrary>(RECORDING_PLUGIN_PATH);
    return lib;
}

const RecordingLog& logOf(vsthost::PluginInstance& plugin) {
    const RecordingLog* log = nullptr;
    plugin.dispatch(effVendorSpecific, kRecordingLogRequest, 0, &log);
    EXPECT_NE(log, nullptr);
    return *log;
}

// Events on and around block boundaries, several at one frame.
MidiSong boundarySong() {
    MidiSong song;
    int velocity = 1;
    for (std::int64_t frame : {0, 1, 99, 100, 101, 511, 512, 513, 1023, 1500, 1500, 1500, 4095, 4096, 9999}) {
        song.events.push_back(midi(frame, 0x90, 60 + velocity % 12, velocity));
        if (velocity == 12) song.events.push_back(midi(1500, 0xB0, 64, 127));  // after the notes of frame 1500
        ++velocity;
    }
    song.endFrame = 10000;
    return song;
}

TEST(EventPlacement, EveryEventArrivesOnItsFrameInOrderBeforeItsBlock) {
    const MidiSong song = boundarySong();
    for (int blockSize : {1, 64, 100, 512, 4096, 20000}) {
        SCOPED_TRACE(blockSize);
        vsthost::PluginInstance plugin(recordingLibrary());
        MemorySink sink;
        RenderSettings settings;
        settings.blockSize = blockSize;
        const RenderResult result = renderSong(plugin, song, settings, sink);
        const RecordingLog& log = logOf(plugin);
        ASSERT_FALSE(log.overflowed);

        std::vector<TimedMidi> received;
        std::int64_t blockStart = 0;
        int eventsPending = -1;  // events announced but not yet seen; -1: expecting a list
        bool listBeforeBlock = false;
        for (int i = 0; i < log.count; ++i) {
            const RecordedCall& call = log.calls[i];
            if (call.kind == RecordedCall::process) {
                ASSERT_TRUE(listBeforeBlock) << "processReplacing without effProcessEvents before it";
                ASSERT_EQ(eventsPending, 0);
                EXPECT_EQ(call.frames, blockSize);
                blockStart += call.frames;
                listBeforeBlock = false;
                eventsPending = -1;
            } else if (call.frames >= 0) {
                ASSERT_FALSE(listBeforeBlock) << "two event lists for one block";
                listBeforeBlock = true;
                eventsPending = call.frames;
            } else {
                ASSERT_GT(eventsPending, 0);
                --eventsPending;
                EXPECT_GE(call.deltaFrames, 0);
                EXPECT_LT(call.deltaFrames, blockSize);
                received.push_back(midi(blockStart + call.deltaFrames, call.bytes[0], call.bytes[1], call.bytes[2]));
            }
        }
        ASSERT_EQ(received.size(), song.events.size());
        for (std::size_t i = 0; i < received.size(); ++i) {
            EXPECT_EQ(received[i].frame, song.events[i].frame) << "event " << i;
            EXPECT_EQ(received[i].bytes, song.events[i].bytes) << "event " << i;
        }
        // The written audio lines up with the song: an impulse at each note-on.
        EXPECT_EQ(static_cast<std::int64_t>(sink.left.size()), result.frames);
        for (const TimedMidi& e : song.events) {
            if ((e.bytes[0] & 0xF0) == 0x90 && e.frame != 1500) {
                EXPECT_FLOAT_EQ(sink.left.at(static_cast<std::size_t>(e.frame)), e.bytes[2] / 127.0f) << e.frame;
            }
        }
        EXPECT_FLOAT_EQ(sink.left.at(1500), (10 + 11 + 12) / 127.0f);
    }
}

TEST(EventPlacement, EventsOutOfOrderAreRefusedBeforeReachingThePlugin) {
    MidiSong song;
    song.events = {midi(600, 0x90, 60, 1), midi(500, 0x90, 61, 1)};
    song.endFrame = 600;
    vsthost::PluginInstance plugin(recordingLibrary());
    MemorySink sink;
    EXPECT_THROW(renderSong(plugin, song, RenderSettings{}, sink), std::invalid_argument);
    EXPECT_EQ(logOf(plugin).count, 0);
}

TEST(EventPlacement, RingOutStopsAfterSilenceOrAtTheBound) {
    RenderSettings settings;
    settings.blockSize = 100;
    settings.silenceSeconds = 0.1;  // 4410 frames
    settings.maxTailSeconds = 1.0;  // 44100 frames

    // Note 100 hums until its note-off at 3000; the song ends at 5000.
    MidiSong song;
    song.events = {midi(10, 0x90, 100, 1), midi(3000, 0x80, 100, 0)};
    song.endFrame = 5000;
    {
        vsthost::PluginInstance plugin(recordingLibrary());
        MemorySink sink;
        const RenderResult result = renderSong(plugin, song, settings, sink);
        EXPECT_EQ(result.frames, 7500);  // silent from 3000: 4410 frames later, rounded up to a block
    }
    // Never released: rendering stops at the song's end plus the bound.
    song.events.pop_back();
    {
        vsthost::PluginInstance plugin(recordingLibrary());
        MemorySink sink;
        const RenderResult result = renderSong(plugin, song, settings, sink);
        EXPECT_EQ(result.frames, 5000 + 44100);  // a whole number of blocks
        EXPECT_EQ(sink.right.back(), 0.25f);
    }
}

TEST(EventPlacement, LimitedAndNonFiniteSamplesAreCountedAndNanIsSilenced) {
    MidiSong song;
    song.events = {midi(5, 0x90, 126, 100), midi(7, 0x90, 127, 100), midi(9, 0x90, 60, 64)};
    song.endFrame = 10;
    vsthost::PluginInstance plugin(recordingLibrary());
    MemorySink sink;
    RenderSettings settings;
    settings.blockSize = 64;
    const RenderResult result = renderSong(plugin, song, settings, sink);
    EXPECT_EQ(result.limitedSamples, 1);
    EXPECT_EQ(result.nonFiniteSamples, 1);
    EXPECT_EQ(result.peak, 1.0f);
    EXPECT_EQ(sink.left.at(7), 0.0f);
    EXPECT_FLOAT_EQ(sink.left.at(9), 64 / 127.0f);
}

TEST(EventPlacement, RealPluginNotesStartOnTheirFramesWhateverTheBlocks) {
    // Each note is rendered alone from a fresh instance, placed at different
    // positions in blocks of different sizes. Before its frame there must be
    // silence; after it the strings take a key-dependent time to reach the
    // pickups, which must not depend on the blocks; and it must sound.
    struct Placement {
        int blockSize;
        std::int64_t frame;
    };
    const Placement placements[] = {{512, 12345}, {512, 12288}, {1, 777}, {100, 1000}, {4096, 4097}};
    auto library = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
    for (const int note : {21, 60, 96, 108}) {
        std::size_t firstDelay = 0;
        for (const Placement& p : placements) {
            SCOPED_TRACE(::testing::Message() << "note " << note << " at frame " << p.frame << ", blocks of "
                                              << p.blockSize);
            vsthost::PluginInstance plugin(library);
            MidiSong song;
            song.events = {midi(p.frame, 0x90, note, 100), midi(p.frame + 22050, 0x80, note, 0)};
            song.endFrame = p.frame + 22050;
            RenderSettings settings;
            settings.blockSize = p.blockSize;
            settings.maxTailSeconds = 0.5;
            MemorySink sink;
            renderSong(plugin, song, settings, sink);
            auto level = [&](std::size_t i) { return std::max(std::fabs(sink.left[i]), std::fabs(sink.right[i])); };

            const auto start = static_cast<std::size_t>(p.frame);
            for (std::size_t i = 0; i < start; ++i) ASSERT_EQ(level(i), 0.0f) << "sound before the note, at " << i;
            std::size_t onset = start;
            while (onset < sink.left.size() && level(onset) == 0.0f) ++onset;
            ASSERT_LT(onset, sink.left.size()) << "the note never sounded";
            const std::size_t delay = onset - start;
            EXPECT_LT(delay, 256u);
            if (&p == placements) firstDelay = delay;
            EXPECT_EQ(delay, firstDelay) << "the onset moved with the blocks";
            float loudest = 0.0f;
            for (std::size_t i = start; i < start + 4410; ++i) loudest = std::max(loudest, level(i));
            EXPECT_GT(loudest, 1e-3f) << "the note stays nearly silent";
        }
    }
}

}  // namespace
