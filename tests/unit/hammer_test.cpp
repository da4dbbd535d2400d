#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "engine/noise/periodic.h"
#include "engine/noise/t3d_noise.h"
#include "host/pelmar.h"
#include "support/fake_host.h"

namespace {

std::unique_ptr<pelmar> makePlugin() { return std::make_unique<pelmar>(testhost::callback, 1); }

void apply(pelmar& plugin, VstInt32 tag, float value) {
    plugin.setParameter(tag, value);
    plugin.parameterProcess();
}

std::vector<float> raw(const pelmar& p, int k) { return {p.forceBuf1[k], p.forceBuf1[k] + p.forceLen[k]}; }
std::vector<float> smooth(const pelmar& p, int k) { return {p.forceBuf2[k], p.forceBuf2[k] + p.forceLen[k]}; }

// Time sample i of a raw curve of period p: the octave noise plus the small
// square wave, ramped over the first period, times the force.
float rawSample(int i, int p, float a, float b, int n, float r, float g) {
    const float pf = static_cast<float>(p);
    float v = 2.0f * (t3d_turb(static_cast<float>(i) / (r * pf), n, b, a) + 0.02f * rda(static_cast<float>(i + 152), pf)) / pf;
    if (i < p) v = v * (0.2f + 0.4f * static_cast<float>(i) / pf);
    return v * g;
}

// Program 0's hammer: material 0.99, sharpness 0.89719623, hardness
// 0.59878504 (21 octaves), roundness 0.5 (R = 1), force 0.86915886 with a
// per-key offset.
void expectProgram0Curve(const pelmar& plugin, int k, int period, float forceOffset) {
    const float a = 0.99f * 0.2f + 0.1f;
    const float b = 0.89719623f * 0.3f;
    const float g = 0.86915886f + forceOffset * 0.5f / 127.0f;
    const int len = 3 * period;
    ASSERT_EQ(plugin.forceLen[k], len);
    for (int i : {0, 1, period / 2, period - 1, period, period + 1, 2 * period, len - 1})
        EXPECT_FLOAT_EQ(plugin.forceBuf1[k][len - 1 - i], rawSample(i, period, a, b, 21, 1.0f, g)) << "key " << k << " i " << i;
}

TEST(Hammer, FirstBuildFixesThreePeriodsPerKey) {
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->forceLen[0], 4809);
    EXPECT_EQ(plugin->forceLen[48], 300);
    EXPECT_EQ(plugin->forceLen[87], 30);
    for (int k = 0; k < kNumKeys; ++k) {
        ASSERT_NE(plugin->forceBuf1[k], nullptr);
        ASSERT_NE(plugin->forceBuf2[k], nullptr);
        EXPECT_EQ(plugin->forceLen[k], 3 * static_cast<int>(44100.0f / plugin->keyFreq[k])) << k;
        EXPECT_EQ(plugin->forceCount[k], 0);
    }
}

TEST(Hammer, RawCurveIsRampedNoiseAndSquareInReverseTimeOrder) {
    auto plugin = makePlugin();
    expectProgram0Curve(*plugin, 0, 1603, 0);
    expectProgram0Curve(*plugin, 48, 100, -5);
    expectProgram0Curve(*plugin, 87, 10, -52);
}

TEST(Hammer, SmoothedCurveIsAWindowMeanShrinkingAtTheEnds) {
    auto plugin = makePlugin();
    const struct {
        int key, window;
    } cases[] = {{0, 12}, {48, 12}, {87, 5}};
    for (const auto& c : cases) {
        const std::vector<float> r = raw(*plugin, c.key);
        const std::vector<float> s = smooth(*plugin, c.key);
        const int len = static_cast<int>(r.size());
        for (int i : {0, 1, c.window, len / 2, len - 2, len - 1}) {
            const int first = std::max(0, i - c.window);
            const int last = std::min(len - 1, i + c.window);
            double sum = 0;
            for (int j = first; j <= last; ++j) sum += r[j];
            EXPECT_NEAR(s[i], sum / (last - first + 1), 1e-6 * std::fabs(r[len / 2]) + 1e-9) << c.key << " " << i;
        }
    }
}

TEST(Hammer, HardnessSetsTheNumberOfOctaves) {
    auto plugin = makePlugin();
    const float a = 0.99f * 0.2f + 0.1f;
    const float b = 0.89719623f * 0.3f;
    const float g = 0.86915886f;
    apply(*plugin, 0x22, 1.0f);
    EXPECT_FLOAT_EQ(plugin->forceBuf1[0][4808 - 2000], rawSample(2000, 1603, a, b, 30, 1.0f, g));
    apply(*plugin, 0x22, 0.0f);
    EXPECT_FLOAT_EQ(plugin->forceBuf1[0][4808 - 2000], rawSample(2000, 1603, a, b, 10, 1.0f, g));
    plugin->getParx(0x22)[0] = 127;  // e = 1.5: the most octaves, 40
    apply(*plugin, 0x22, 1.0f);
    EXPECT_FLOAT_EQ(plugin->forceBuf1[0][4808 - 2000], rawSample(2000, 1603, a, b, 40, 1.0f, g));
}

TEST(Hammer, NoPositiveForceGivesSilentCurves) {
    auto plugin = makePlugin();
    std::int8_t* force = plugin->getParx(0x20);
    for (int k = 0; k < kNumKeys; ++k) force[k] = -127;
    apply(*plugin, 0x20, 0.3f);
    for (int k = 0; k < kNumKeys; ++k) {
        for (float v : raw(*plugin, k)) ASSERT_EQ(v, 0.0f) << k;
        for (float v : smooth(*plugin, k)) ASSERT_EQ(v, 0.0f) << k;
    }
}

TEST(Hammer, HardnessAtTheBottomPlaysOneOctave) {
    // Hardness 0 with offset -127 gives n = 0; it plays like offset -126 (n = 1).
    auto plugin = makePlugin();
    std::int8_t* hardness = plugin->getParx(0x22);
    hardness[30] = -126;
    apply(*plugin, 0x22, 0.0f);
    const std::vector<float> neighbour = raw(*plugin, 30);
    hardness[30] = -127;
    apply(*plugin, 0x22, 0.0f);
    const std::vector<float> bottom = raw(*plugin, 30);
    EXPECT_EQ(bottom, neighbour);
    const float a = 0.99f * 0.2f + 0.1f;
    const float b = 0.89719623f * 0.3f;
    const int period = plugin->forceLen[30] / 3;
    for (int i : {0, period, 2 * period + 7})
        EXPECT_FLOAT_EQ(bottom[3 * period - 1 - i], rawSample(i, period, a, b, 1, 1.0f, 0.86915886f)) << i;
    float peak = 0;
    for (float v : bottom) {
        ASSERT_TRUE(std::isfinite(v));
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_GT(peak, 1e-4f);  // it still sounds
}

TEST(Hammer, RoundnessAtTheBottomGivesAFiniteSharpCurve) {
    // Roundness 0 with offset -127 gives R = 0; it plays as R = 0.5 / 127.
    auto plugin = makePlugin();
    plugin->getParx(0x24)[48] = -127;
    apply(*plugin, 0x24, 0.0f);
    const std::vector<float> r = raw(*plugin, 48);
    const std::vector<float> s = smooth(*plugin, 48);
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(std::isfinite(r[i])) << i;
        ASSERT_TRUE(std::isfinite(s[i])) << i;
    }
    const float a = 0.99f * 0.2f + 0.1f;
    const float b = 0.89719623f * 0.3f;
    const float g = 0.86915886f - 5 * 0.5f / 127.0f;
    for (int i : {0, 1, 99, 100, 250, 299})
        EXPECT_FLOAT_EQ(r[299 - i], rawSample(i, 100, a, b, 21, 0.5f / 127.0f, g)) << i;
    // The next key, not at the bottom, keeps R = 0.5.
    EXPECT_FLOAT_EQ(plugin->forceBuf1[49][plugin->forceLen[49] - 1 - 50],
                    rawSample(50, plugin->forceLen[49] / 3, a, b, 21, 0.5f, 0.86915886f - 5 * 0.5f / 127.0f));
}

TEST(Hammer, RetuningKeepsLengthsAndCurvesButEndsStrikes) {
    auto plugin = makePlugin();
    std::vector<std::vector<float>> before;
    std::vector<float*> buffers;
    for (int k = 0; k < kNumKeys; ++k) {
        before.push_back(raw(*plugin, k));
        buffers.push_back(plugin->forceBuf1[k]);
    }
    plugin->forceCount[20] = 100;
    plugin->forceAmp1[20] = 0.7f;
    plugin->forceAmp2[20] = 0.3f;
    apply(*plugin, 0x10, 0.9f);
    EXPECT_EQ(plugin->forceCount[20], 0);
    EXPECT_EQ(plugin->forceAmp1[20], 0.0f);
    EXPECT_EQ(plugin->forceAmp2[20], 0.0f);
    for (int k = 0; k < kNumKeys; ++k) {
        EXPECT_EQ(plugin->forceBuf1[k], buffers[k]) << "no reallocation, key " << k;
        EXPECT_EQ(raw(*plugin, k), before[k]) << k;
    }
    EXPECT_EQ(plugin->forceLen[0], 4809);
}

TEST(Hammer, EveryFactoryProgramBuildsFiniteSoundingCurves) {
    auto plugin = makePlugin();
    for (int program = 0; program < kNumPrograms; ++program) {
        plugin->setProgram(program);
        plugin->parameterProcess();
        for (int k = 0; k < kNumKeys; ++k) {
            float peak = 0;
            for (float v : raw(*plugin, k)) {
                ASSERT_TRUE(std::isfinite(v)) << program << " " << k;
                peak = std::max(peak, std::fabs(v));
            }
            for (float v : smooth(*plugin, k)) ASSERT_TRUE(std::isfinite(v)) << program << " " << k;
            EXPECT_GT(peak, 0.0f) << program << " " << k;
            // |noise| stays below 10 times the largest excursion of the noise.
            EXPECT_LT(peak, 2.0f * (15.0f + 0.02f) / (plugin->forceLen[k] / 3) * 1.5f) << program << " " << k;
        }
    }
}

TEST(Hammer, InstancesBuildingAtOnceGetTheSameCurves) {
    // A host that records nothing, so that only the plug-ins share state.
    auto silentHost = [](AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return 0; };
    std::unique_ptr<pelmar> plugins[3];
    std::vector<std::thread> threads;
    for (auto& p : plugins) threads.emplace_back([&p, silentHost] { p = std::make_unique<pelmar>(+silentHost, 1); });
    for (auto& t : threads) t.join();
    for (int k = 0; k < kNumKeys; k += 7) {
        EXPECT_EQ(raw(*plugins[1], k), raw(*plugins[0], k));
        EXPECT_EQ(smooth(*plugins[2], k), smooth(*plugins[0], k));
    }
}

}  // namespace
