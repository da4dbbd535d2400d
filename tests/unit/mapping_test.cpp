#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "host/pelmar.h"
#include "support/fake_host.h"

namespace {

std::unique_ptr<pelmar> makePlugin() { return std::make_unique<pelmar>(testhost::callback, 1); }

// Sets a parameter and runs the mapping, as the next render call would.
void apply(pelmar& plugin, VstInt32 tag, float value) {
    plugin.setParameter(tag, value);
    plugin.parameterProcess();
}

TEST(Mapping, WorkedValuesOfTheNeutralTuning) {
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->noteShift, 0);
    EXPECT_EQ(plugin->keyFreq[0], 27.5f);
    EXPECT_EQ(plugin->keyFreq[48], 440.0f);
    EXPECT_FLOAT_EQ(plugin->keyFreq[60], 880.0f);
    EXPECT_NEAR(plugin->keyFreq[87], 4186.01f, 0.01f);
    EXPECT_FLOAT_EQ(plugin->stiff1[0], 0.015625f);
    EXPECT_FLOAT_EQ(plugin->stiff1[48], 0.9216f);
    EXPECT_FLOAT_EQ(plugin->stiff1[60], 0.9216f);
    EXPECT_NEAR(plugin->stiff1[87], 0.9051f, 1e-4f);
    for (int k = 0; k < kNumKeys; ++k) EXPECT_LT(plugin->stiff1[k], 0.99f) << k;
    // Program 0: unison 0.5514 makes string 2 0.55 % slower than string 1.
    const float ratio = 1.0f - 0.01f * 0.55140185f;
    EXPECT_NEAR(plugin->stiff2[48] / plugin->stiff1[48], ratio * ratio, 1e-6f);
}

TEST(Mapping, TransposeTruncatesTowardZero) {
    auto plugin = makePlugin();
    const struct {
        float value;
        int shift;
    } cases[] = {{0.5f, 0}, {1.0f, 50}, {0.0f, -50}, {0.004f, -50}, {0.519f, 1}, {0.499f, -1}};
    for (const auto& c : cases) {
        apply(*plugin, 0x01, c.value);
        EXPECT_EQ(plugin->noteShift, c.shift) << c.value;
    }
}

TEST(Mapping, TuningOffsetsAndTheStiffnessCap) {
    auto plugin = makePlugin();
    std::int8_t* tuning = plugin->getParx(0x10);
    tuning[48] = 127;
    tuning[47] = -127;
    apply(*plugin, 0x10, 0.5f);
    EXPECT_NEAR(plugin->keyFreq[48], 452.89f, 0.01f);
    EXPECT_NEAR(plugin->keyFreq[47] * std::pow(2.0f, 1.0f / 12.0f), 427.47f, 0.01f);
    tuning[48] = 0;
    apply(*plugin, 0x10, 1.0f);
    EXPECT_NEAR(plugin->keyFreq[48], 466.16f, 0.01f);
    EXPECT_EQ(plugin->stiff1[48], 0.99f);
    EXPECT_EQ(plugin->stiff2[48], 0.99f);
    apply(*plugin, 0x10, 0.0f);
    EXPECT_NEAR(plugin->keyFreq[48], 415.30f, 0.01f);
    EXPECT_LT(plugin->stiff1[48], 0.99f);
}

TEST(Mapping, UnisonDetunesTheSecondString) {
    auto plugin = makePlugin();
    apply(*plugin, 0x11, 0.0f);
    for (int k = 0; k < kNumKeys; ++k) EXPECT_FLOAT_EQ(plugin->stiff2[k], plugin->stiff1[k]) << k;
    std::int8_t* unison = plugin->getParx(0x11);
    unison[10] = 127;  // u = 1.5: string 2 1.5 % slower
    unison[11] = -127;
    apply(*plugin, 0x11, 1.0f);
    EXPECT_NEAR(plugin->stiff2[20] / plugin->stiff1[20], 0.99f * 0.99f, 1e-6f);
    EXPECT_NEAR(plugin->stiff2[10] / plugin->stiff1[10], 0.985f * 0.985f, 1e-6f);
    EXPECT_NEAR(plugin->stiff2[11] / plugin->stiff1[11], 0.995f * 0.995f, 1e-6f);
    apply(*plugin, 0x11, 0.0f);  // key 11: u = -0.5, string 2 0.5 % faster
    EXPECT_NEAR(plugin->stiff2[11] / plugin->stiff1[11], 1.005f * 1.005f, 1e-6f);
}

TEST(Mapping, SoftnessScalesByStiffnessRelativeToTheLowestKey) {
    auto plugin = makePlugin();
    apply(*plugin, 0x14, 0.0f);
    EXPECT_FLOAT_EQ(plugin->viscosity[0], 0.0000001f);
    for (int k = 1; k < kNumKeys; ++k)
        EXPECT_FLOAT_EQ(plugin->viscosity[k], 0.0000001f * plugin->stiff1[k] / plugin->stiff1[0]) << k;
    // Clamped to 1 above the range: offset +127 on top of 1.0.
    plugin->getParx(0x14)[0] = 127;
    apply(*plugin, 0x14, 1.0f);
    EXPECT_FLOAT_EQ(plugin->viscosity[0], 0.0001001f);
}

TEST(Mapping, SustainAndDamperSetAllDampingToRelease) {
    auto plugin = makePlugin();
    plugin->damping[5] = 0.25f;  // as a held key would have it
    apply(*plugin, 0x12, 1.0f);
    apply(*plugin, 0x13, 0.0f);
    for (int k = 0; k < kNumKeys; ++k) {
        EXPECT_FLOAT_EQ(plugin->dampHold[k], 0.00001f) << k;
        EXPECT_EQ(plugin->dampRelease[k], plugin->dampHold[k]) << k;
        EXPECT_EQ(plugin->damping[k], plugin->dampRelease[k]) << k;
    }
    apply(*plugin, 0x12, 0.0f);
    apply(*plugin, 0x13, 1.0f);
    EXPECT_FLOAT_EQ(plugin->dampHold[30], 0.00051f);
    EXPECT_FLOAT_EQ(plugin->dampRelease[30], 0.00101f);
    EXPECT_EQ(plugin->damping[30], plugin->dampRelease[30]);
}

TEST(Mapping, HammerAndPickupPointsStayOnTheString) {
    auto plugin = makePlugin();
    apply(*plugin, 0x15, 0.0f);
    apply(*plugin, 0x16, 0.0f);
    for (int k = 0; k < kNumKeys; ++k) {
        EXPECT_EQ(plugin->hammerPoint[k], 1) << k;
        EXPECT_EQ(plugin->pickupLeft[k], 1) << k;
        EXPECT_EQ(plugin->pickupRight[k], 1) << k;
    }
    apply(*plugin, 0x15, 1.0f);
    apply(*plugin, 0x16, 1.0f);
    for (int k = 0; k < kNumKeys; ++k) {
        const int n = plugin->stringLen[k];
        EXPECT_EQ(plugin->hammerPoint[k], n - 1) << k;
        EXPECT_EQ(plugin->pickupLeft[k], n - 1) << k;
        EXPECT_EQ(plugin->pickupRight[k], n - 2) << k;  // b - 2 = N - 2
    }
    // b >= N + 2 puts both pickups on N - 1; b <= 3 puts the right one on 1.
    std::int8_t* bridge = plugin->getParx(0x16);
    bridge[48] = 127;  // e = 1.5, b = 72 with N = 48
    apply(*plugin, 0x16, 1.0f);
    EXPECT_EQ(plugin->pickupLeft[48], 47);
    EXPECT_EQ(plugin->pickupRight[48], 47);
    bridge[48] = 0;
    apply(*plugin, 0x16, 3.5f / 48.0f);  // b = 3
    EXPECT_EQ(plugin->pickupLeft[48], 3);
    EXPECT_EQ(plugin->pickupRight[48], 1);
    apply(*plugin, 0x15, 0.5f);
    EXPECT_EQ(plugin->hammerPoint[0], 50);
    EXPECT_EQ(plugin->hammerPoint[48], 24);
}

// Marks every output with a value no mapping produces.
void poison(pelmar& p) {
    p.noteShift = 999;
    for (int k = 0; k < kNumKeys; ++k) {
        p.keyFreq[k] = p.stiff1[k] = p.stiff2[k] = p.viscosity[k] = p.dampHold[k] = p.dampRelease[k] = -1.0f;
        p.damping[k] = -2.0f;
        p.hammerPoint[k] = p.pickupLeft[k] = p.pickupRight[k] = -1;
        p.forceCount[k] = 7;
        p.forceAmp1[k] = p.forceAmp2[k] = 0.5f;
        p.forceBuf1[k][0] = 1234.0f;
    }
}

// True when no key of the array still holds the poison.
template <class T, class U>
bool recomputed(const T (&values)[kNumKeys], U marker) {
    for (T v : values)
        if (v == static_cast<T>(marker)) return false;
    return true;
}

bool curvesRebuilt(const pelmar& p) {
    for (int k = 0; k < kNumKeys; ++k)
        if (p.forceBuf1[k][0] == 1234.0f) return false;
    return true;
}

TEST(Mapping, EachBitRecomputesExactlyItsGroupsAndNoBitNothing) {
    enum Group { kShift, kFreq, kS1, kS2, kVisc, kHold, kRelease, kPoints, kPickups, kCurves, kGroups };
    const std::vector<Group> groups[kNumParams] = {
        {}, {kShift}, {kFreq, kS1, kS2, kCurves}, {kS2}, {kHold, kRelease}, {kRelease}, {kVisc}, {kPoints},
        {kPickups}, {kCurves}, {kCurves}, {kCurves}, {kCurves}, {kCurves}, {}, {},
    };
    auto plugin = makePlugin();
    for (int j = -1; j < kNumParams; ++j) {  // -1: an empty mask
        poison(*plugin);
        if (j >= 0) plugin->setParameter(indexToTag(j), plugin->currentProgram().param[j]);
        plugin->parameterProcess();
        EXPECT_EQ(plugin->dirtyMask.load(), 0u);
        bool expected[kGroups] = {};
        if (j >= 0) {
            for (Group g : groups[j]) expected[g] = true;
        }
        const pelmar& p = *plugin;
        const bool actual[kGroups] = {
            p.noteShift != 999,
            recomputed(p.keyFreq, -1),
            recomputed(p.stiff1, -1),
            recomputed(p.stiff2, -1),
            recomputed(p.viscosity, -1),
            recomputed(p.dampHold, -1),
            recomputed(p.dampRelease, -1) && recomputed(p.damping, -2) && p.damping[9] == p.dampRelease[9],
            recomputed(p.hammerPoint, -1),
            recomputed(p.pickupLeft, -1) && recomputed(p.pickupRight, -1),
            // Curves rebuilt, and strikes cancelled exactly then.
            recomputed(p.forceCount, 7) && recomputed(p.forceAmp1, 0.5f) && recomputed(p.forceAmp2, 0.5f) &&
                curvesRebuilt(p),
        };
        for (int g = 0; g < kGroups; ++g) EXPECT_EQ(actual[g], expected[g]) << "parameter " << j << " group " << g;
        if (expected[kCurves]) {
            EXPECT_TRUE(p.forceCount[3] == 0 && p.forceAmp1[3] == 0 && p.forceAmp2[3] == 0);
        }
    }
}

TEST(Mapping, SoftnessUsesTheStiffnessOfTheSameCallWhenTuningIsDirtyToo) {
    auto plugin = makePlugin();
    plugin->setParameter(0x10, 1.0f);
    plugin->setParameter(0x14, 0.3f);
    plugin->parameterProcess();
    const float stiff0 = plugin->stiff1[0];
    EXPECT_FLOAT_EQ(plugin->viscosity[40], (std::pow(0.3f, 1.8f) * 0.0001f + 0.0000001f) * plugin->stiff1[40] / stiff0);
    // Tuning alone leaves the viscosity as the earlier stiffness made it.
    const float before = plugin->viscosity[40];
    apply(*plugin, 0x10, 0.0f);
    EXPECT_EQ(plugin->viscosity[40], before);
}

}  // namespace

namespace {

// Everything the mapping writes is finite, in its range, and the curves keep
// the lengths of the first build.
void expectSane(const pelmar& p, const std::vector<std::uint16_t>& lengths) {
    EXPECT_GE(p.noteShift, -50);
    EXPECT_LE(p.noteShift, 50);
    for (int k = 0; k < kNumKeys; ++k) {
        const int n = p.stringLen[k];
        ASSERT_TRUE(std::isfinite(p.keyFreq[k]) && p.keyFreq[k] > 0) << k;
        ASSERT_TRUE(p.stiff1[k] > 0 && p.stiff1[k] <= 0.99f) << k;
        ASSERT_TRUE(p.stiff2[k] > 0 && p.stiff2[k] <= 0.99f) << k;
        ASSERT_TRUE(std::isfinite(p.viscosity[k]) && p.viscosity[k] > 0) << k;
        for (float d : {p.dampHold[k], p.dampRelease[k], p.damping[k]}) ASSERT_TRUE(std::isfinite(d) && d > 0) << k;
        for (int i : {p.hammerPoint[k], p.pickupLeft[k], p.pickupRight[k]}) {
            ASSERT_GE(i, 1) << k;
            ASSERT_LE(i, n - 1) << k;
        }
        ASSERT_EQ(p.forceLen[k], lengths[k]) << k;
        const float bound = 2.0f * (15.0f + 0.02f) / static_cast<float>(lengths[k] / 3) * 1.5f;
        for (int i = 0; i < p.forceLen[k]; ++i) {
            ASSERT_TRUE(std::fabs(p.forceBuf1[k][i]) <= bound) << k << " " << i << " " << p.forceBuf1[k][i];
            ASSERT_TRUE(std::fabs(p.forceBuf2[k][i]) <= bound) << k << " " << i;
        }
    }
}

std::vector<float> raw(const pelmar& p, int k) { return {p.forceBuf1[k], p.forceBuf1[k] + p.forceLen[k]}; }

const float kHostile[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, -1.0f, 2.0f};

TEST(HostileValues, ChunkOfHostileValuesLeavesEverythingFiniteAndInRange) {
    auto plugin = makePlugin();
    const std::vector<std::uint16_t> lengths(plugin->forceLen, plugin->forceLen + kNumKeys);
    for (float value : kHostile) {
        for (bool extremeOffsets : {false, true}) {
            std::vector<Program> bank(pminit, pminit + kNumPrograms);
            for (Program& program : bank) {
                for (int j = 0; j < kNumParams; ++j) {
                    program.param[j] = value;
                    for (int k = 0; k < kNumKeys; ++k)
                        program.keyOffset[j][k] = extremeOffsets ? static_cast<std::int8_t>(k % 2 ? 127 : -128) : 0;
                }
            }
            ASSERT_EQ(plugin->setChunk(bank.data(), kBankChunkSize, false), kBankChunkSize);
            plugin->parameterProcess();
            SCOPED_TRACE(testing::Message() << "value " << value << " offsets " << extremeOffsets);
            expectSane(*plugin, lengths);
        }
    }
}

TEST(HostileValues, EachParameterAloneStaysSafe) {
    auto plugin = makePlugin();
    const std::vector<std::uint16_t> lengths(plugin->forceLen, plugin->forceLen + kNumKeys);
    for (int j = 0; j < kNumParams; ++j) {
        for (float value : kHostile) {
            apply(*plugin, indexToTag(j), value);
            SCOPED_TRACE(testing::Message() << "parameter " << j << " value " << value);
            expectSane(*plugin, lengths);
        }
        apply(*plugin, indexToTag(j), pminit[0].param[j]);
    }
}

TEST(HostileValues, ReadAsTheNearestEditorValueAndNaNAsTheMiddle) {
    auto reference = makePlugin();
    auto plugin = makePlugin();
    const struct {
        float stored, read;
    } cases[] = {{1e30f, 1.0f}, {INFINITY, 1.0f}, {2.0f, 1.0f}, {-1e30f, 0.0f}, {-1.0f, 0.0f}, {NAN, 0.5f}};
    for (const auto& c : cases) {
        for (int tag : {0x10, 0x22, 0x24}) {
            apply(*reference, tag, c.read);
            apply(*plugin, tag, c.stored);
            EXPECT_EQ(plugin->keyFreq[33], reference->keyFreq[33]) << c.stored;
            EXPECT_EQ(raw(*plugin, 33), raw(*reference, 33)) << c.stored << " tag " << tag;
            apply(*reference, tag, pminit[0].param[tagToIndex(tag)]);
            apply(*plugin, tag, pminit[0].param[tagToIndex(tag)]);
        }
    }
    // Key offset -128 (out of the editor's range) reads as -127.
    plugin->getParx(0x10)[5] = -128;
    reference->getParx(0x10)[5] = -127;
    apply(*plugin, 0x10, 0.5f);
    apply(*reference, 0x10, 0.5f);
    EXPECT_EQ(plugin->keyFreq[5], reference->keyFreq[5]);
}

}  // namespace
