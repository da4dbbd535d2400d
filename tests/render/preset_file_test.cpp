// .fxp and .fxb files through the real plug-in: what we save loads back to
// the same state, and files of another plug-in or of the wrong size are
// refused without touching the plug-in's state.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/render/preset_file.h"
#include "tools/vsthost/plugin_host.h"

namespace {

using namespace render;
using Bytes = std::vector<std::uint8_t>;

std::shared_ptr<vsthost::PluginLibrary> library() {
    static auto lib = std::make_shared<vsthost::PluginLibrary>(PELMAR_PLUGIN_PATH);
    return lib;
}

Bytes chunkOf(vsthost::PluginInstance& plugin, bool program) {
    void* data = nullptr;
    const VstIntPtr size = plugin.dispatch(effGetChunk, program ? 1 : 0, 0, &data);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return Bytes(bytes, bytes + size);
}

void rename(vsthost::PluginInstance& plugin, int program, const char* name) {
    plugin.dispatch(effSetProgram, 0, program);
    char text[32] = {};
    std::strncpy(text, name, sizeof text - 1);
    plugin.dispatch(effSetProgramName, 0, 0, text);
}

std::uint32_t bigEndianAt(const Bytes& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
}

class PresetFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("pelmar-preset-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
    vsthost::PluginInstance plugin{library()};
};

TEST_F(PresetFiles, ProgramFileHasTheStandardHeaderAndRoundTrips) {
    rename(plugin, 3, "round trip");
    const Bytes saved = chunkOf(plugin, true);
    writePresetFile(path("p.fxp"), capturePreset(plugin, PresetKind::program));

    const Bytes file = encodePreset(readPresetFile(path("p.fxp")));
    ASSERT_EQ(file.size(), 60u + 1496u);
    EXPECT_EQ(std::memcmp(file.data(), "CcnK", 4), 0);
    EXPECT_EQ(bigEndianAt(file, 4), file.size() - 8);
    EXPECT_EQ(std::memcmp(file.data() + 8, "FPCh", 4), 0);
    EXPECT_EQ(std::memcmp(file.data() + 16, "pm-1", 4), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + 28), "round trip");
    EXPECT_EQ(bigEndianAt(file, 56), 1496u);

    // Load it into another program: that program becomes a copy, name included.
    rename(plugin, 5, "other");
    applyPreset(plugin, readPresetFile(path("p.fxp")), "p.fxp");
    EXPECT_EQ(plugin.dispatch(effGetProgram), 5);
    EXPECT_EQ(chunkOf(plugin, true), saved);
    EXPECT_EQ(plugin.getString(effGetProgramName), "round trip");
}

TEST_F(PresetFiles, BankFileRoundTripsWithItsCurrentProgram) {
    rename(plugin, 7, "seventh");
    const Bytes saved = chunkOf(plugin, false);
    writePresetFile(path("b.fxb"), capturePreset(plugin, PresetKind::bank));
    const PresetFile loaded = readPresetFile(path("b.fxb"));
    EXPECT_EQ(loaded.kind, PresetKind::bank);
    EXPECT_EQ(loaded.count, 10);
    EXPECT_EQ(loaded.currentProgram, 7);

    rename(plugin, 7, "changed");
    rename(plugin, 0, "also changed");
    ASSERT_NE(chunkOf(plugin, false), saved);
    applyPreset(plugin, loaded, "b.fxb");
    EXPECT_EQ(chunkOf(plugin, false), saved);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 7);
}

TEST_F(PresetFiles, AnotherPluginsPresetIsRefused) {
    PresetFile preset = capturePreset(plugin, PresetKind::program);
    preset.pluginId = vstFourCC('x', 'y', 'z', '1');
    rename(plugin, 0, "untouched");
    const Bytes before = chunkOf(plugin, false);
    try {
        applyPreset(plugin, decodePreset(encodePreset(preset), "foreign.fxp"), "foreign.fxp");
        FAIL() << "accepted";
    } catch (const PresetError& error) {
        EXPECT_NE(std::string(error.what()).find("'xyz1'"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("'pm-1'"), std::string::npos) << error.what();
    }
    EXPECT_EQ(chunkOf(plugin, false), before);
}

TEST_F(PresetFiles, WrongSizesAreRefused) {
    const Bytes before = chunkOf(plugin, false);
    PresetFile program = capturePreset(plugin, PresetKind::program);

    // A consistent file whose chunk is one byte short or long for the plug-in.
    for (std::size_t size : {std::size_t{1495}, std::size_t{1497}, std::size_t{14960}}) {
        PresetFile wrong = program;
        wrong.chunk.resize(size);
        EXPECT_THROW(applyPreset(plugin, decodePreset(encodePreset(wrong), "w.fxp"), "w.fxp"), PresetError) << size;
    }
    PresetFile bank = capturePreset(plugin, PresetKind::bank);
    bank.chunk.resize(1496);
    EXPECT_THROW(applyPreset(plugin, bank, "w.fxb"), PresetError);
    EXPECT_EQ(chunkOf(plugin, false), before);

    // Files whose header sizes disagree with their bytes.
    const Bytes good = encodePreset(program);
    Bytes truncated(good.begin(), good.end() - 1);
    EXPECT_THROW(decodePreset(truncated, "t.fxp"), PresetError);
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_THROW(decodePreset(longer, "l.fxp"), PresetError);
    Bytes lyingChunkSize = good;
    lyingChunkSize[59] ^= 1;  // low byte of the chunk size
    EXPECT_THROW(decodePreset(lyingChunkSize, "c.fxp"), PresetError);
    Bytes parameterFile = good;
    std::memcpy(parameterFile.data() + 8, "FxCk", 4);
    try {
        decodePreset(parameterFile, "params.fxp");
        FAIL() << "accepted";
    } catch (const PresetError& error) {
        EXPECT_NE(std::string(error.what()).find("params.fxp: "), std::string::npos);
    }
    for (std::size_t length = 0; length < 60; ++length)
        EXPECT_THROW(decodePreset(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)), "s.fxp"),
                     PresetError)
            << length;
}

}  // namespace
