#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "host/pelmar.h"
#include "support/bank_hash.h"
#include "support/fake_host.h"
#include "support/recording_gui.h"

namespace {

std::unique_ptr<pelmar> makePlugin() { return std::make_unique<pelmar>(testhost::callback, 1); }

std::vector<unsigned char> takeChunk(pelmar& plugin, bool isPreset) {
    void* data = nullptr;
    const VstInt32 size = plugin.getChunk(&data, isPreset);
    const auto* bytes = static_cast<unsigned char*>(data);
    return {bytes, bytes + size};
}

TEST(StateChunk, FreshPluginHandsOutTheFactoryBankAndItsFirstProgram) {
    auto plugin = makePlugin();
    auto bank = takeChunk(*plugin, false);
    ASSERT_EQ(bank.size(), 14960u);
    EXPECT_EQ(fnv1a64(bank.data(), bank.size()), kFactoryBankHash);
    auto program = takeChunk(*plugin, true);
    ASSERT_EQ(program.size(), 1496u);
    EXPECT_TRUE(std::equal(program.begin(), program.end(), bank.begin()));
}

TEST(StateChunk, ChunkHoldsTheStateWhenTakenAndTheNextOneFollowsEdits) {
    // The host's copy is not written behind its back (the audio thread may
    // change values while the host reads it); the next chunk has the edit.
    auto plugin = makePlugin();
    void* data = nullptr;
    plugin->getChunk(&data, true);
    plugin->setParameter(0x20, 0.123f);
    float stored;
    std::memcpy(&stored, static_cast<char*>(data) + 36, sizeof(float));
    EXPECT_EQ(stored, pminit[0].param[kForce]);
    void* again = nullptr;
    plugin->getChunk(&again, true);
    std::memcpy(&stored, static_cast<char*>(again) + 36, sizeof(float));
    EXPECT_EQ(stored, 0.123f);
}

TEST(StateChunk, WrongSizesAreRefusedWithoutAnyEffect) {
    auto plugin = makePlugin();
    RecordingGui* gui = RecordingGui::installIn(*plugin);
    plugin->dirtyMask.store(0);
    std::vector<unsigned char> junk(20000, 0xAB);
    EXPECT_EQ(plugin->setChunk(junk.data(), 1495, true), 0);
    EXPECT_EQ(plugin->setChunk(junk.data(), 1497, true), 0);
    EXPECT_EQ(plugin->setChunk(junk.data(), 14960, true), 0);
    EXPECT_EQ(plugin->setChunk(junk.data(), 14959, false), 0);
    EXPECT_EQ(plugin->setChunk(junk.data(), 1496, false), 0);
    EXPECT_EQ(plugin->setChunk(junk.data(), -1, false), 0);
    EXPECT_EQ(plugin->setChunk(nullptr, 14960, false), 0);
    EXPECT_EQ(fnv1a64(plugin->programs, sizeof(plugin->programs)), kFactoryBankHash);
    EXPECT_TRUE(gui->received.empty());
    EXPECT_EQ(plugin->dirtyMask.load(), 0u);
}

TEST(StateChunk, ProgramRoundTripLeavesStateAndTellsEditor) {
    auto plugin = makePlugin();
    plugin->setProgram(2);
    auto chunk = takeChunk(*plugin, true);
    RecordingGui* gui = RecordingGui::installIn(*plugin);
    plugin->dirtyMask.store(0);
    EXPECT_EQ(plugin->setChunk(chunk.data(), 1496, true), 1496);
    EXPECT_EQ(fnv1a64(plugin->programs, sizeof(plugin->programs)), kFactoryBankHash);
    EXPECT_EQ(gui->received.size(), 16u);
    EXPECT_EQ(plugin->dirtyMask.load(), kDirtyAll);
}

TEST(StateChunk, ProgramChunkReplacesTheCurrentProgramNameIncluded) {
    auto plugin = makePlugin();
    plugin->setProgram(2);
    auto untuned = takeChunk(*plugin, true);
    plugin->setProgram(5);
    ASSERT_EQ(plugin->setChunk(untuned.data(), 1496, true), 1496);
    EXPECT_EQ(plugin->getProgram(), 5);
    EXPECT_EQ(std::memcmp(&plugin->programs[5], &pminit[2], sizeof(Program)), 0);
    char name[32];
    plugin->getProgramName(name);
    EXPECT_STREQ(name, "untuned");
    EXPECT_EQ(std::memcmp(&plugin->programs[2], &pminit[2], sizeof(Program)), 0);
}

TEST(StateChunk, BankRestoreKeepsCurrentProgramAndShowsItsValues) {
    auto source = makePlugin();
    source->setProgram(3);
    source->setParameter(0x11, 0.75f);
    source->getParx(0x21)[60] = 99;
    auto bank = takeChunk(*source, false);

    auto plugin = makePlugin();
    plugin->setProgram(3);
    RecordingGui* gui = RecordingGui::installIn(*plugin);
    ASSERT_EQ(plugin->setChunk(bank.data(), 14960, false), 14960);
    EXPECT_EQ(plugin->getProgram(), 3);
    EXPECT_EQ(plugin->getParameter(0x11), 0.75f);
    EXPECT_EQ(plugin->getParx(0x21)[60], 99);
    ASSERT_EQ(gui->received.size(), 16u);
    EXPECT_EQ(gui->received[3], std::make_pair(VstInt32{0x11}, 0.75f));
    EXPECT_EQ(std::memcmp(plugin->programs, bank.data(), bank.size()), 0);
}

TEST(StateChunk, ValuesAreStoredAsTheyComeFromAnyAlignment) {
    auto plugin = makePlugin();
    Program odd = pminit[0];
    odd.param[kForce] = 7.5f;
    odd.param[kTuning] = -3.0f;
    odd.keyOffset[kTuning][0] = -128;
    // Deliberately misaligned copy of the record, as a host buffer may be.
    std::vector<unsigned char> buffer(sizeof(Program) + 1);
    std::memcpy(buffer.data() + 1, &odd, sizeof(Program));
    ASSERT_EQ(plugin->setChunk(buffer.data() + 1, 1496, true), 1496);
    EXPECT_EQ(std::memcmp(&plugin->programs[0], &odd, sizeof(Program)), 0);
}

TEST(StateChunk, UnterminatedNameReadsAsFirst23Characters) {
    auto plugin = makePlugin();
    Program p = pminit[0];
    std::memset(p.name, 'x', kProgramNameSize);
    ASSERT_EQ(plugin->setChunk(&p, 1496, true), 1496);
    char text[64];
    std::memset(text, '?', sizeof(text));
    plugin->getProgramName(text);
    EXPECT_EQ(std::strlen(text), 23u);
    EXPECT_TRUE(plugin->getProgramNameIndexed(0, 0, text));
    EXPECT_EQ(std::strlen(text), 23u);
    // The stored bytes are kept as they came, so the chunk reads back unchanged.
    EXPECT_EQ(std::memcmp(&plugin->programs[0], &p, sizeof(Program)), 0);
}

TEST(StateChunk, RestoringFromTheLiveChunkPointerIsHarmless) {
    auto plugin = makePlugin();
    void* data = nullptr;
    const VstInt32 size = plugin->getChunk(&data, false);
    EXPECT_EQ(plugin->setChunk(data, size, false), size);
    EXPECT_EQ(fnv1a64(plugin->programs, sizeof(plugin->programs)), kFactoryBankHash);
}

}  // namespace
