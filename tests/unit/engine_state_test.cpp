#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "host/pelmar.h"
#include "support/alloc_counter.h"
#include "support/fake_host.h"

namespace {

TEST(EngineState, FreshPluginIsResumedSilentAndEmpty) {
    testhost::reset();
    auto plugin = std::make_unique<pelmar>(testhost::callback, 1);
    EXPECT_EQ(plugin->suspended.load(), 0);
    EXPECT_EQ(plugin->pedalDown, 0);
    EXPECT_EQ(plugin->noteShift, 0);
    EXPECT_EQ(plugin->eventList, nullptr);
    EXPECT_EQ(plugin->eventFree, nullptr);
    EXPECT_EQ(plugin->getProgram(), 0);
    EXPECT_EQ(plugin->getSampleRate(), 44100.0f);
    EXPECT_EQ(plugin->getBlockSize(), 1024);
    for (int k = 0; k < kNumKeys; ++k) {
        EXPECT_EQ(plugin->keyActive[k], 0);
        EXPECT_EQ(plugin->keyHeld[k], 0);
        for (int s = 0; s < kNumStrings; ++s)
            for (int i = 0; i < kMaxPoints; ++i) {
                ASSERT_EQ(plugin->stringPos(k)[s][i], 0.0f);
                ASSERT_EQ(plugin->stringVel(k)[s][i], 0.0f);
            }
    }
    // The constructor ends with resume, which asks the host for MIDI (opcode 6, value 1).
    ASSERT_FALSE(testhost::calls().empty());
    EXPECT_EQ(testhost::calls().front().opcode, audioMasterWantMidi);
    EXPECT_EQ(testhost::calls().front().value, 1);
}

// Each key's strings have storage of their own, followed by +0 (the fixed end
// one point past the last), and keys of different workers lie far enough
// apart that one worker's writes never share or neighbour the other's lines.
TEST(EngineState, KeyStringsDoNotOverlapAndWorkersKeysLieApart) {
    for (int workers : {1, 2, 3, 16}) {
        auto plugin = std::make_unique<pelmar>(testhost::callback, workers);
        const int n = plugin->threads->nb();
        const auto* first = reinterpret_cast<const char*>(&plugin->stringPosSlots[0][0][0]);
        const auto* end = first + sizeof plugin->stringPosSlots;
        constexpr long kKeyBytes = kNumStrings * kMaxPoints * sizeof(float);
        for (int k = 0; k < kNumKeys; ++k) {
            const auto* at = reinterpret_cast<const char*>(plugin->stringPos(k));
            ASSERT_GE(at, first);
            ASSERT_LE(at + kKeyBytes + sizeof(float), end) << "key " << k << ", " << n << " workers";
            EXPECT_EQ((&plugin->stringPos(k)[0][0])[kNumStrings * kMaxPoints], 0.0f);
            for (int j = 0; j < k; ++j) {
                const long apart = std::labs(at - reinterpret_cast<const char*>(plugin->stringPos(j)));
                ASSERT_GE(apart, kKeyBytes) << "keys " << j << " and " << k << " overlap";
                if (j % n != k % n) {
                    EXPECT_GE(apart, 2 * kKeyBytes) << "keys " << j << " and " << k << ", " << n << " workers";
                }
            }
        }
    }
}

TEST(EngineState, StringLengthsAndEqualTemperedFrequencies) {
    auto plugin = std::make_unique<pelmar>(testhost::callback, 1);
    const int upper[] = {97, 92, 87, 82, 77, 73, 69, 65, 61, 58, 54, 51, 48, 46, 43, 41, 38, 36, 34, 32, 30, 29,
                         27, 25, 24, 23, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 12, 11, 10, 10, 9,  9,  8,
                         8,  7,  7,  6,  6,  6,  5,  5,  5};
    for (int k = 0; k < 36; ++k) EXPECT_EQ(plugin->stringLen[k], 100) << k;
    for (int k = 36; k < kNumKeys; ++k) EXPECT_EQ(plugin->stringLen[k], upper[k - 36]) << k;
    EXPECT_EQ(plugin->keyFreq[48], 440.0f);
    EXPECT_EQ(plugin->keyFreq[0], 27.5f);
    EXPECT_NEAR(plugin->keyFreq[87], 4186.01f, 0.01f);
    for (int k = 1; k < kNumKeys; ++k) EXPECT_NEAR(plugin->keyFreq[k] / plugin->keyFreq[k - 1], 1.0594631f, 1e-5f);
}

TEST(EngineState, BlockSizeResizesEveryWorkersBuffers) {
    auto plugin = std::make_unique<pelmar>(testhost::callback, 3);
    ASSERT_EQ(plugin->threads->nb(), 3);
    EXPECT_EQ(plugin->mixFrames, 1024);
    plugin->setBlockSize(512);
    EXPECT_EQ(plugin->getBlockSize(), 512);
    EXPECT_EQ(plugin->mixFrames, 512);
    EXPECT_EQ(plugin->threads->nb(), 3);
    for (int t = 0; t < kMaxWorkers; ++t) {
        for (int c = 0; c < 2; ++c) {
            if (t < 3) {
                ASSERT_NE(plugin->mixBuf[t][c], nullptr);
                std::fill(plugin->mixBuf[t][c], plugin->mixBuf[t][c] + 512, 1.0f);  // ASan checks the size
            } else {
                EXPECT_EQ(plugin->mixBuf[t][c], nullptr);
            }
        }
    }
}

TEST(EngineState, BadAndHugeBlockSizesAreHandledSafely) {
    auto plugin = std::make_unique<pelmar>(testhost::callback, 2);
    plugin->setBlockSize(256);
    plugin->setBlockSize(0);
    plugin->setBlockSize(-64);
    EXPECT_EQ(plugin->getBlockSize(), 256);
    EXPECT_EQ(plugin->mixFrames, 256);
    // A block size far beyond any real host is stored, but the buffers stay bounded.
    plugin->setBlockSize(1 << 30);
    EXPECT_EQ(plugin->getBlockSize(), 1 << 30);
    EXPECT_EQ(plugin->mixFrames, kMaxMixFrames);
}

TEST(EngineState, SuspendAndResumeTouchOnlyTheFlag) {
    testhost::reset();
    auto plugin = std::make_unique<pelmar>(testhost::callback, 1);
    plugin->keyActive[5] = 1;
    plugin->stringPos(5)[0][3] = 0.25f;
    testhost::reset();
    plugin->suspend();
    EXPECT_EQ(plugin->suspended.load(), 1);
    EXPECT_TRUE(testhost::calls().empty());
    float left[64], right[64];
    std::fill(left, left + 64, 7.0f);
    std::fill(right, right + 64, -7.0f);
    float* outputs[2] = {left, right};
    plugin->processReplacing(nullptr, outputs, 64);
    for (int f = 0; f < 64; ++f) ASSERT_TRUE(left[f] == 7.0f && right[f] == -7.0f);
    plugin->resume();
    EXPECT_EQ(plugin->suspended.load(), 0);
    ASSERT_EQ(testhost::calls().size(), 1u);
    EXPECT_EQ(testhost::calls()[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(plugin->keyActive[5], 1);
    EXPECT_EQ(plugin->stringPos(5)[0][3], 0.25f);
}

TEST(EngineState, DestructionFreesEverythingItTook) {
    pelmar warmUp(testhost::callback, 2);  // the runtime's one-time allocations for threads
    const std::int64_t before = alloccount::live();
    auto plugin = std::make_unique<pelmar>(testhost::callback, 2);
    for (int i = 0; i < 5; ++i) plugin->eventList = new NoteEvent{i, 40, 100, 1, plugin->eventList};
    for (int i = 0; i < 3; ++i) plugin->eventFree = new NoteEvent{0, 0, 0, 0, plugin->eventFree};
    const std::int64_t during = alloccount::live();
    plugin.reset();
    const std::int64_t after = alloccount::live();
    EXPECT_GE(during, before + 8);
    EXPECT_EQ(after, before);
}

}  // namespace
