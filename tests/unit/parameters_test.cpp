#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "host/pelmar.h"
#include "support/fake_host.h"
#include "support/recording_gui.h"

namespace {

std::unique_ptr<pelmar> makePlugin() { return std::make_unique<pelmar>(testhost::callback, 1); }

TEST(ParameterTags, DecodeValidAndInvalidTags) {
    const int valid[] = {0x00, 0x01, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                         0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26};
    for (int index = 0; index < kNumParams; ++index) {
        EXPECT_EQ(tagToIndex(valid[index]), index);
        EXPECT_EQ(indexToTag(index), valid[index]);
    }
    for (int tag : {0x02, 0x05, 0x0F, 0x17, 0x1F, 0x27, 0x2F, 0x30, 0xF0, 0xFF}) EXPECT_EQ(tagToIndex(tag), -1) << tag;
    // Bits above the tag byte are ignored.
    EXPECT_EQ(tagToIndex(0x110), kTuning);
    EXPECT_EQ(tagToIndex(-256 + 0x20), kForce);
}

TEST(Parameters, SetStoresUnclampedValueAndMarksOnlyItsBit) {
    auto plugin = makePlugin();
    plugin->dirtyMask.store(0);
    plugin->setParameter(0x26, 0.3f);
    EXPECT_FLOAT_EQ(plugin->getParameter(0x26), 0.3f);
    EXPECT_EQ(plugin->dirtyMask.load(), 1u << 16);
    plugin->setParameter(0x20, 1.5f);
    EXPECT_EQ(plugin->getParameter(0x20), 1.5f);
    EXPECT_EQ(plugin->dirtyMask.load(), (1u << 16) | (1u << 10));
    EXPECT_EQ(plugin->programs[0].param[kForce], 1.5f);
    EXPECT_EQ(plugin->programs[1].param[kForce], pminit[1].param[kForce]) << "only the current program changes";
}

TEST(Parameters, InvalidTagsChangeNothing) {
    auto plugin = makePlugin();
    plugin->dirtyMask.store(0);
    Program before = plugin->programs[0];
    plugin->setParameter(0x05, 0.9f);
    plugin->setParameter(0x30, 0.9f);
    plugin->setParameter(0x17, 0.9f);
    EXPECT_EQ(std::memcmp(&before, &plugin->programs[0], sizeof(Program)), 0);
    EXPECT_EQ(plugin->dirtyMask.load(), 0u);
    EXPECT_EQ(plugin->getParameter(0x17), 0.0f);
    EXPECT_EQ(plugin->getParameter(0x30), 0.0f);
}

TEST(Parameters, NamesByTag) {
    auto plugin = makePlugin();
    char text[32];
    plugin->getParameterName(0x26, text);
    EXPECT_STREQ(text, "velo dynamics");
    plugin->getParameterName(0x00, text);
    EXPECT_STREQ(text, "volume");
    plugin->getParameterName(0x15, text);
    EXPECT_STREQ(text, "hammer pos");
    std::strcpy(text, "junk");
    plugin->getParameterName(0x17, text);
    EXPECT_STREQ(text, "");
}

TEST(Parameters, KeyOffsetRowsOfTheCurrentProgram) {
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->getParx(0x00), nullptr);
    EXPECT_EQ(plugin->getParx(0x01), nullptr);
    EXPECT_EQ(plugin->getParx(0x17), nullptr);
    EXPECT_EQ(plugin->getParx(0x10), plugin->programs[0].keyOffset[kTuning]);
    plugin->setProgram(3);
    std::int8_t* softness = plugin->getParx(0x14);
    ASSERT_NE(softness, nullptr);
    EXPECT_EQ(softness[0], 103);
    EXPECT_EQ(softness[87], -55);
    // Edits through the row land in the bank, but do not mark anything changed.
    plugin->dirtyMask.store(0);
    softness[10] = -7;
    EXPECT_EQ(plugin->programs[3].keyOffset[kSoftness][10], -7);
    EXPECT_EQ(plugin->dirtyMask.load(), 0u);
}

TEST(Programs, SetProgramTellsTheEditorEveryValueInTagOrder) {
    auto plugin = makePlugin();
    RecordingGui* gui = RecordingGui::installIn(*plugin);
    plugin->dirtyMask.store(0);
    plugin->setProgram(4);
    EXPECT_EQ(plugin->getProgram(), 4);
    EXPECT_EQ(plugin->dirtyMask.load(), kDirtyAll);
    ASSERT_EQ(gui->received.size(), 16u);
    const int order[] = {0x00, 0x01, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16,
                         0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(gui->received[i].first, order[i]);
        EXPECT_EQ(gui->received[i].second, pminit[4].param[i]);
    }
}

TEST(Programs, OutOfRangeProgramNumbersAreIgnored) {
    auto plugin = makePlugin();
    plugin->setProgram(2);
    RecordingGui* gui = RecordingGui::installIn(*plugin);
    plugin->dirtyMask.store(0);
    for (VstInt32 bad : {10, -1, 1000, INT32_MIN}) plugin->setProgram(bad);
    EXPECT_EQ(plugin->getProgram(), 2);
    EXPECT_EQ(plugin->dirtyMask.load(), 0u);
    EXPECT_TRUE(gui->received.empty());
}

TEST(Programs, NamesAreCutTo23CharactersAndPadded) {
    auto plugin = makePlugin();
    char text[64];
    plugin->getProgramName(text);
    EXPECT_STREQ(text, "bright");
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    plugin->setProgramName(longName);
    plugin->getProgramName(text);
    EXPECT_STREQ(text, "abcdefghijklmnopqrstuvw");
    char shortName[] = "soft";
    plugin->setProgramName(shortName);
    for (int i = 4; i < kProgramNameSize; ++i) EXPECT_EQ(plugin->programs[0].name[i], 0) << i;
    EXPECT_TRUE(plugin->getProgramNameIndexed(0, 9, text));
    EXPECT_STREQ(text, "-");
    EXPECT_TRUE(plugin->getProgramNameIndexed(0, 3, text));
    EXPECT_STREQ(text, "pling");
    std::strcpy(text, "untouched");
    EXPECT_FALSE(plugin->getProgramNameIndexed(0, 10, text));
    EXPECT_FALSE(plugin->getProgramNameIndexed(0, -1, text));
    EXPECT_STREQ(text, "untouched");
}

TEST(Programs, SwitchingProgramsKeepsEachProgramsEdits) {
    auto plugin = makePlugin();
    plugin->setParameter(0x12, 0.25f);
    plugin->setProgram(1);
    EXPECT_EQ(plugin->getParameter(0x12), pminit[1].param[kSustain]);
    plugin->setProgram(0);
    EXPECT_EQ(plugin->getParameter(0x12), 0.25f);
}

}  // namespace
