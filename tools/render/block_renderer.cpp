#include "tools/render/block_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace render {

namespace {

// A VstEvents list with room for a fixed number of MIDI events, allocated
// once so the block loop does not allocate.
class EventList {
public:
    explicit EventList(std::size_t capacity)
        : storage_((offsetof(VstEvents, events) + std::max<std::size_t>(capacity, 2) * sizeof(VstEvent*)) /
                       sizeof(VstIntPtr) +
                   1),
          midi_(capacity) {}

    VstEvents* list() { return reinterpret_cast<VstEvents*>(storage_.data()); }

    void clear() { list()->numEvents = 0; }
    void add(const TimedMidi& event, VstInt32 delta) {
        VstEvents* l = list();
        VstMidiEvent& m = midi_[static_cast<std::size_t>(l->numEvents)];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.deltaFrames = delta;
        m.flags = 0;
        for (int i = 0; i < 3; ++i) m.midiData[i] = i < event.size ? static_cast<char>(event.bytes[i]) : 0;
        VstEvent** slots = l->events;  // numEvents slots, not the declared two
        slots[l->numEvents++] = reinterpret_cast<VstEvent*>(&m);
    }

private:
    std::vector<VstIntPtr> storage_;
    std::vector<VstMidiEvent> midi_;
};

std::size_t mostEventsInOneBlock(const MidiSong& song, int blockSize) {
    std::size_t most = 0, count = 0;
    std::int64_t block = -1;
    for (const TimedMidi& e : song.events) {
        const std::int64_t b = e.frame / blockSize;
        count = b == block ? count + 1 : 1;
        block = b;
        most = std::max(most, count);
    }
    return most;
}

}  // namespace

RenderResult renderSong(vsthost::PluginInstance& plugin, const MidiSong& song, const RenderSettings& settings,
                        AudioSink& sink, const ProgressCallback& progress) {
    if (settings.blockSize < 1) throw std::invalid_argument("block size must be at least 1");
    // Out-of-order events would reach the plug-in with negative offsets.
    for (std::size_t i = 0; i < song.events.size(); ++i)
        if (song.events[i].frame < (i ? song.events[i - 1].frame : 0))
            throw std::invalid_argument("song events out of order at event " + std::to_string(i));
    const int blockSize = settings.blockSize;
    const auto silenceFrames = static_cast<std::int64_t>(settings.silenceSeconds * settings.sampleRate);
    const std::int64_t lastFrame =
        song.endFrame + static_cast<std::int64_t>(settings.maxTailSeconds * settings.sampleRate);

    plugin.sampleRate = static_cast<float>(settings.sampleRate);
    plugin.blockSize = blockSize;
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(settings.sampleRate));
    plugin.dispatch(effSetBlockSize, 0, blockSize);
    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effStartProcess);
    // The plug-in's reported delay (its rate conversion at rates other than
    // 44100 Hz) is left out of the file, as a host compensates it, so the
    // notes sound at their times in the song.
    std::int64_t delayLeft = std::max<VstInt32>(plugin.effect()->initialDelay, 0);

    EventList events(mostEventsInOneBlock(song, blockSize));
    std::vector<float> left(static_cast<std::size_t>(blockSize)), right(static_cast<std::size_t>(blockSize));
    RenderResult result;
    std::size_t next = 0;          // first event not yet sent
    std::int64_t silentRun = 0;    // trailing frames below the silence level
    std::int64_t position = 0;     // first frame of the coming block
    while (true) {
        const std::int64_t blockEnd = position + blockSize;
        events.clear();
        for (; next < song.events.size() && song.events[next].frame < blockEnd; ++next)
            events.add(song.events[next], static_cast<VstInt32>(song.events[next].frame - position));
        plugin.dispatch(effProcessEvents, 0, 0, events.list());

        // A plug-in may leave buffers untouched (suspended), so start from silence.
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        plugin.process(left.data(), right.data(), blockSize);

        for (float* channel : {left.data(), right.data()})
            for (int i = 0; i < blockSize; ++i) {
                float& x = channel[i];
                if (!std::isfinite(x)) {
                    x = 0.0f;
                    ++result.nonFiniteSamples;
                }
                const float a = std::fabs(x);
                result.peak = std::max(result.peak, a);
                if (a >= 1.0f) ++result.limitedSamples;
            }
        for (int i = 0; i < blockSize; ++i) {
            const bool silent = std::fabs(left[i]) < settings.silenceLevel && std::fabs(right[i]) < settings.silenceLevel;
            silentRun = silent ? silentRun + 1 : 0;
        }
        const auto skip = static_cast<int>(std::min<std::int64_t>(delayLeft, blockSize));
        delayLeft -= skip;
        if (skip < blockSize) sink.write(left.data() + skip, right.data() + skip, blockSize - skip);
        result.frames += blockSize - skip;
        position = blockEnd;

        if (progress && !progress(position, song.endFrame)) {
            plugin.dispatch(effStopProcess);
            plugin.dispatch(effMainsChanged, 0, 0);
            throw RenderInterrupted();
        }
        const bool songDone = next == song.events.size() && position >= song.endFrame;
        if (songDone && (silentRun >= silenceFrames || position >= lastFrame)) break;
    }
    plugin.dispatch(effStopProcess);
    plugin.dispatch(effMainsChanged, 0, 0);
    return result;
}

}  // namespace render
