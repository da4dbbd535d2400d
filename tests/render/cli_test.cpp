// The pelmar-render program as a user runs it: argument errors, a damaged
// MIDI file, and a render into each WAV format.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/render/smf_bytes.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int exitCode;
    std::string output;  // stdout and stderr together
};

ProgramRun run(const std::string& arguments, const fs::path& dir) {
    const std::string command =
        "cd '" + dir.string() + "' && '" PELMAR_RENDER_PATH "' --plugin '" PELMAR_PLUGIN_PATH "' " + arguments + " 2>&1";
    ProgramRun result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pelmar-cli-test-" + std::string(::testing::UnitTest::GetInstance()
                                                                                    ->current_test_info()
                                                                                    ->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        using namespace smf_bytes;
        write((dir_ / "short.mid").string(),
              file(0, 480, {track({event(0, {0xB0, 64, 127}), event(100, {0x90, 60, 90}), event(0, {64, 70}),
                                   event(480, {0x80, 60, 0}), event(0, {64, 0}), endOfTrack(480)})}));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<std::string> filesInDir() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(Cli, BadArgumentsExitWithCode2AndSayWhy) {
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"--no-such-option", "--no-such-option"},
        {"--block-size 0", "--block-size"},
        {"--block-size many", "--block-size"},
        {"--format mp3", "mp3"},
        {"--rate 1000", "--rate"},
        {"--rate 400000", "--rate"},
        {"--program -1", "--program"},
        {"--program 10", "--program 10 is out of range"},
        {"missing.mid", "missing.mid"},
        {"short.mid extra.mid", "extra.mid"},
        {"--save-preset state.txt", ".fxp or .fxb"},
        {"--preset none.fxp", "none.fxp"},
        {"short.mid -o short.mid", "would overwrite the MIDI file"},
        {"-o", "-o"},
    };
    for (const auto& c : cases) {
        const ProgramRun result = run(c.arguments, dir_);
        EXPECT_EQ(result.exitCode, 2) << c.arguments << "\n" << result.output;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << c.arguments << "\n" << result.output;
    }
    EXPECT_EQ(filesInDir(), std::vector<std::string>{"short.mid"});
}

TEST_F(Cli, DamagedMidiFileLeavesNoWav) {
    using namespace smf_bytes;
    Bytes damaged = file(0, 480, {track({event(0, {0x90, 60, 90}), event(480, {0x80, 60, 0}), endOfTrack()})});
    damaged.resize(damaged.size() - 2);
    write((dir_ / "damaged.mid").string(), damaged);
    const ProgramRun result = run("damaged.mid -o out.wav", dir_);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("damaged.mid: byte "), std::string::npos) << result.output;
    EXPECT_EQ(filesInDir(), (std::vector<std::string>{"damaged.mid", "short.mid"}));
}

TEST_F(Cli, RendersEachFormatAt44100HzStereo) {
    const struct {
        const char* format;
        int subtype;
    } formats[] = {{"pcm16", SF_FORMAT_PCM_16}, {"pcm24", SF_FORMAT_PCM_24}, {"float", SF_FORMAT_FLOAT}};
    for (const auto& f : formats) {
        const ProgramRun result = run(std::string("short.mid --block-size 300 --format ") + f.format, dir_);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_NE(result.output.find("short.wav: "), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("x real time"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("samples limited"), std::string::npos) << result.output;

        SF_INFO info{};
        SNDFILE* wav = sf_open((dir_ / "short.wav").c_str(), SFM_READ, &info);
        ASSERT_NE(wav, nullptr) << f.format;
        sf_close(wav);
        EXPECT_EQ(info.samplerate, 44100);
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | f.subtype) << f.format;
        // The piece lasts 1060 ticks at 120 bpm (48703 frames); a ring-out follows.
        EXPECT_GE(info.frames, 48703);
        EXPECT_EQ(info.frames % 300, 0);
    }
    EXPECT_EQ(filesInDir(), (std::vector<std::string>{"short.mid", "short.wav"}));
}

// First frame of a WAV file whose left or right sample reaches `level`.
long firstFrameAbove(const fs::path& path, float level, int* rate) {
    SF_INFO info{};
    SNDFILE* wav = sf_open(path.c_str(), SFM_READ, &info);
    if (!wav) return -1;
    *rate = info.samplerate;
    std::vector<float> frames(2 * static_cast<std::size_t>(info.frames));
    sf_readf_float(wav, frames.data(), info.frames);
    sf_close(wav);
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (std::abs(frames[i]) >= level) return static_cast<long>(i / 2);
    return -1;
}

TEST_F(Cli, RendersAtTheRateAskedForWithTheNotesAtTheSameTimes) {
    ProgramRun result = run("short.mid -q -o at44.wav", dir_);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    result = run("short.mid -q --rate 48000 --block-size 256 -o at48.wav", dir_);
    ASSERT_EQ(result.exitCode, 0) << result.output;

    SF_INFO info{};
    SNDFILE* wav = sf_open((dir_ / "at48.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    sf_close(wav);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_GE(info.frames, 48703L * 48000 / 44100) << "the piece at 48 kHz";

    // The note (tick 100 at 120 bpm: 0.104 s) starts at the same time: the
    // plug-in's reported delay is left out of the file.
    int rate44 = 0, rate48 = 0;
    const long onset44 = firstFrameAbove(dir_ / "at44.wav", 0.01f, &rate44);
    const long onset48 = firstFrameAbove(dir_ / "at48.wav", 0.01f, &rate48);
    ASSERT_EQ(rate44, 44100);
    ASSERT_GT(onset44, 4000);
    EXPECT_NEAR(static_cast<double>(onset48) / rate48, static_cast<double>(onset44) / rate44, 3.0 / 48000);
}

TEST_F(Cli, PresetSavedByOneRunIsLoadedByTheNext) {
    ProgramRun result = run("--program 4 --save-preset bank.fxb --list-programs", dir_);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("* 4"), std::string::npos) << result.output;
    result = run("--preset bank.fxb --list-programs --quiet", dir_);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("* 4"), std::string::npos) << "the bank's current program\n" << result.output;

    std::vector<char> bytes(fs::file_size(dir_ / "bank.fxb"));
    FILE* f = std::fopen((dir_ / "bank.fxb").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    bytes[16] = 'q';  // another plug-in's ID
    f = std::fopen((dir_ / "other.fxb").c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    result = run("--preset other.fxb --list-programs", dir_);
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("'qm-1'"), std::string::npos) << result.output;
}

}  // namespace
