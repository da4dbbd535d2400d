// Plays a MidiSong through a loaded plug-in block by block: before each
// processReplacing the events falling inside the block are sent with
// effProcessEvents at their exact frame offsets, in the song's order. After
// the song's end rendering goes on until the output has stayed silent for a
// moment, or an upper bound is reached.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "tools/render/midi_song.h"
#include "tools/vsthost/plugin_host.h"

namespace render {

struct RenderSettings {
    int blockSize = 512;
    int sampleRate = kSampleRate;
    double silenceSeconds = 0.5;  // how long the ring-out must stay below silenceLevel
    float silenceLevel = 1e-5f;   // -100 dBFS
    double maxTailSeconds = 30.0;  // ring-out bound for notes that never stop
};

struct RenderResult {
    std::int64_t frames = 0;            // frames written: those rendered less the plug-in's reported delay
    float peak = 0.0f;                  // largest |sample| over both channels
    std::int64_t limitedSamples = 0;    // samples with |x| >= 1
    std::int64_t nonFiniteSamples = 0;  // NaN or infinite samples, written as 0
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void write(const float* left, const float* right, int frames) = 0;
};

// Told the frames done and the song's length; returning false stops the render.
using ProgressCallback = std::function<bool(std::int64_t done, std::int64_t songFrames)>;

class RenderInterrupted : public std::runtime_error {
public:
    RenderInterrupted() : std::runtime_error("interrupted") {}
};

// Throws std::invalid_argument for a block size below 1 or events out of
// order (or before frame 0), RenderInterrupted
// when the progress callback asks to stop.
RenderResult renderSong(vsthost::PluginInstance& plugin, const MidiSong& song, const RenderSettings& settings,
                        AudioSink& sink, const ProgressCallback& progress = {});

}  // namespace render
