// pelmar-render: plays a Standard MIDI File through the Pelmar-k1 plug-in,
// loaded as a VST 2.4 host loads it, into a WAV file. Without a MIDI file it
// renders the bundled demo piece to demo.wav.
//
// Exit codes: 0 done, 1 failure while working, 2 bad arguments, 130 interrupted.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/render/block_renderer.h"
#include "tools/render/demo_piece.h"
#include "tools/render/preset_file.h"
#include "tools/render/progress_bar.h"
#include "tools/render/smf_reader.h"
#include "tools/render/wav_writer.h"
#include "tools/vsthost/plugin_host.h"

namespace {

using namespace render;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// A usage error found after parsing, reported like the parser's own.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

struct Options {
    std::string midiPath;
    std::string output;
    int program = -1;
    int blockSize = 512;
    int sampleRate = kSampleRate;
    std::string format = "pcm24";
    std::string preset;
    std::string savePreset;
    std::string plugin;
    bool listPrograms = false;
    bool quiet = false;
};

class WavSink : public AudioSink {
public:
    explicit WavSink(WavWriter& writer) : writer_(writer) {}
    void write(const float* left, const float* right, int frames) override { writer_.write(left, right, frames); }

private:
    WavWriter& writer_;
};

SampleFormat sampleFormatOf(const std::string& name) {
    if (name == "pcm16") return SampleFormat::pcm16;
    if (name == "float") return SampleFormat::float32;
    return SampleFormat::pcm24;
}

bool samePath(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

std::string decibels(float peak) {
    if (peak <= 0.0f) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(static_cast<double>(peak)));
    return text;
}

void setUpPrograms(vsthost::PluginInstance& plugin, const Options& options) {
    const int programs = plugin.effect()->numPrograms;
    if (options.program >= programs)
        throw UsageError("--program " + std::to_string(options.program) + " is out of range: the plug-in has " +
                         std::to_string(programs) + " programs (0 to " + std::to_string(programs - 1) + ")");
    if (options.preset.empty()) {
        if (options.program >= 0) plugin.dispatch(effSetProgram, 0, options.program);
        return;
    }
    const PresetFile preset = readPresetFile(options.preset);
    // A program preset replaces the selected program; a bank is loaded first
    // and a program chosen from it afterwards.
    if (preset.kind == PresetKind::program && options.program >= 0) plugin.dispatch(effSetProgram, 0, options.program);
    applyPreset(plugin, preset, options.preset);
    if (preset.kind == PresetKind::bank && options.program >= 0) plugin.dispatch(effSetProgram, 0, options.program);
}

int run(const Options& options) {
    const std::string pluginPath = options.plugin.empty() ? vsthost::defaultPluginPath() : options.plugin;
    if (!std::filesystem::exists(pluginPath))
        throw std::runtime_error("pelmar-k1.so not found beside this program, in ~/.vst or in /usr/lib/vst; "
                                 "give its path with --plugin");
    auto library = std::make_shared<vsthost::PluginLibrary>(pluginPath);
    vsthost::PluginInstance plugin(library);
    plugin.logCalls = false;  // a long render would otherwise keep every callback
    if (!(plugin.effect()->flags & effFlagsIsSynth) || plugin.effect()->numOutputs < 2)
        throw std::runtime_error(pluginPath + " is not a stereo instrument plug-in");

    setUpPrograms(plugin, options);
    if (!options.savePreset.empty()) {
        const PresetKind kind = *presetKindOfPath(options.savePreset);
        writePresetFile(options.savePreset, capturePreset(plugin, kind));
    }
    if (options.listPrograms) {
        const VstIntPtr current = plugin.dispatch(effGetProgram);
        for (int p = 0; p < plugin.effect()->numPrograms; ++p)
            std::printf("%c %d  %s\n", p == current ? '*' : ' ', p,
                        plugin.getString(effGetProgramNameIndexed, p).c_str());
        return 0;
    }

    const bool demo = options.midiPath.empty();
    const MidiSong song = demo ? demoPiece(options.sampleRate) : readSmfFile(options.midiPath, options.sampleRate);
    std::string output = options.output;
    if (output.empty())
        output = demo ? "demo.wav" : std::filesystem::path(options.midiPath).replace_extension(".wav").string();
    if (!demo && samePath(output, options.midiPath))
        throw UsageError("the output " + output + " would overwrite the MIDI file");

    WavWriter writer(output, sampleFormatOf(options.format), options.sampleRate);
    WavSink sink(writer);
    RenderSettings settings;
    settings.blockSize = options.blockSize;
    settings.sampleRate = options.sampleRate;
    ProgressBar bar(!options.quiet && isatty(STDERR_FILENO));
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const auto start = std::chrono::steady_clock::now();
    const RenderResult result = renderSong(plugin, song, settings, sink, [&](std::int64_t done, std::int64_t total) {
        bar.update(done, total, options.sampleRate);
        return interrupted == 0;
    });
    writer.commit();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bar.finish();

    if (!options.quiet) {
        const double seconds = static_cast<double>(result.frames) / options.sampleRate;
        std::printf("%s: %.1f s of audio in %.2f s wall time, %.1fx real time, peak %s (%.4f), %lld samples limited",
                    output.c_str(), seconds, wall, wall > 0 ? seconds / wall : 0.0, decibels(result.peak).c_str(),
                    static_cast<double>(result.peak), static_cast<long long>(result.limitedSamples));
        if (result.nonFiniteSamples > 0)
            std::printf(", %lld non-finite samples written as silence",
                        static_cast<long long>(result.nonFiniteSamples));
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"Plays a Standard MIDI File through the Pelmar-k1 piano plug-in into a stereo WAV file "
                 "(44100 Hz unless --rate says otherwise). Without a MIDI file it renders a demo piece to demo.wav.",
                 "pelmar-render"};
    app.add_option("midi-file", options.midiPath, "Standard MIDI File to play (format 0 or 1)")
        ->check(CLI::ExistingFile);
    app.add_option("-o,--output", options.output, "WAV file to write (default: the MIDI file's name with .wav)");
    app.add_option("--program", options.program, "Program of the plug-in to play with")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--block-size", options.blockSize, "Frames per processing block")
        ->check(CLI::Range(1, 65536))
        ->capture_default_str();
    app.add_option("--rate", options.sampleRate, "Sample rate in Hz the host renders at and the WAV file carries")
        ->check(CLI::Range(22050, 192000))
        ->capture_default_str();
    app.add_option("--format", options.format, "Sample format: pcm16, pcm24 or float")
        ->check(CLI::IsMember({"pcm16", "pcm24", "float"}))
        ->capture_default_str();
    app.add_option("--preset", options.preset, "Load a .fxp program or .fxb bank before playing")
        ->check(CLI::ExistingFile);
    app.add_option("--save-preset", options.savePreset, "Save the program (.fxp) or bank (.fxb) as set up")
        ->check([](const std::string& path) {
            return presetKindOfPath(path) ? std::string() : std::string("the preset file name must end in .fxp or .fxb");
        });
    app.add_option("--plugin", options.plugin, "Plug-in library (default: beside this program, ~/.vst, /usr/lib/vst)")
        ->check(CLI::ExistingFile);
    app.add_flag("--list-programs", options.listPrograms, "List the plug-in's programs and exit");
    app.add_flag("-q,--quiet", options.quiet, "No progress bar and no summary");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kExitUsage;
    }
    try {
        return run(options);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "pelmar-render: %s\n", error.what());
        return kExitUsage;
    } catch (const RenderInterrupted&) {
        std::fprintf(stderr, "\npelmar-render: interrupted; no file written\n");
        return kExitInterrupted;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pelmar-render: %s\n", error.what());
        return kExitFailure;
    }
}
