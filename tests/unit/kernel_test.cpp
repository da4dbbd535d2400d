#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/voice_job.h"
#include "support/plugin_fixture.h"

namespace {

// A plug-in whose keys are all silent and whose strikes are cleared, so each
// test sets up exactly the key it looks at.
std::unique_ptr<pelmar> quietPlugin() {
    auto p = testplug::make(1);
    for (int k = 0; k < kNumKeys; ++k) {
        p->keyActive[k] = 0;
        p->forceCount[k] = 0;
    }
    return p;
}

void setString(pelmar& p, int k, float K1, float K2, float c, float g, int h, int pL, int pR) {
    p.stiff1[k] = K1;
    p.stiff2[k] = K2;
    p.viscosity[k] = c;
    p.damping[k] = g;
    p.hammerPoint[k] = h;
    p.pickupLeft[k] = pL;
    p.pickupRight[k] = pR;
    std::memset(p.stringPos(k), 0, kNumStrings * kMaxPoints * sizeof(float));
    std::memset(p.stringVel(k), 0, kNumStrings * kMaxPoints * sizeof(float));
}

struct JobOutput {
    std::vector<float> left, right;
};

JobOutput runJob(pelmar& p, int frames, int firstKey = 0, int keyStep = 1) {
    JobOutput out{std::vector<float>(frames, 123.0f), std::vector<float>(frames, 123.0f)};
    VoiceJob job{firstKey, keyStep, &p, out.left.data(), out.right.data(), frames};
    pelmar_process(&job);
    return out;
}

TEST(Kernel, SilentKeysWriteZeros) {
    auto p = quietPlugin();
    JobOutput out = runJob(*p, 64);
    for (int f = 0; f < 64; ++f) ASSERT_TRUE(out.left[f] == 0.0f && out.right[f] == 0.0f);
}

TEST(Kernel, ActiveKeyAtRestFallsSilentAtOnce) {
    auto p = quietPlugin();
    setString(*p, 30, 0.5f, 0.5f, 0.001f, 0.0001f, 3, 5, 3);
    p->keyActive[30] = 1;
    JobOutput out = runJob(*p, 4);
    EXPECT_EQ(p->keyActive[30], 0);
    EXPECT_EQ(out.left[0], 0.0f);
}

TEST(Kernel, SingleForceSampleMovesOnlyTheHammerPoint) {
    auto p = quietPlugin();
    const int k = 20;  // 100 points per string
    const float K1 = 0.3f, K2 = 0.25f, c = 0.002f, g = 0.0005f;
    const int h = 7;
    setString(*p, k, K1, K2, c, g, h, h, h + 3);
    float one = 1.0f;
    float* saved1 = p->forceBuf1[k];
    float* saved2 = p->forceBuf2[k];
    float zero = 0.0f;
    p->forceBuf1[k] = &one;
    p->forceBuf2[k] = &zero;
    p->forceAmp1[k] = 1.0f;
    p->forceAmp2[k] = 0.0f;
    p->forceCount[k] = 1;
    p->keyActive[k] = 1;

    JobOutput first = runJob(*p, 1);
    EXPECT_EQ(first.left[0], 2.0f) << "a pickup at the hammer point hears both strings";
    EXPECT_EQ(first.right[0], 0.0f);
    for (int s = 0; s < 2; ++s)
        for (int i = 1; i < p->stringLen[k]; ++i) {
            const float expected = i == h ? 1.0f : 0.0f;
            ASSERT_EQ(p->stringPos(k)[s][i], expected) << s << " " << i;
            ASSERT_EQ(p->stringVel(k)[s][i], expected) << s << " " << i;
        }

    runJob(*p, 1);
    const float K[2] = {K1, K2};
    for (int s = 0; s < 2; ++s) {
        const float a = (-K[s] + -c) - (K[s] + c) - g * 1.0f;  // -2K - 2c - g
        EXPECT_FLOAT_EQ(p->stringVel(k)[s][h], 1.0f + a);
        EXPECT_FLOAT_EQ(p->stringPos(k)[s][h], 1.0f + (1.0f + a));
        EXPECT_FLOAT_EQ(p->stringVel(k)[s][h - 1], K[s] + c);
        EXPECT_FLOAT_EQ(p->stringVel(k)[s][h + 1], K[s] + c);
        EXPECT_EQ(p->stringVel(k)[s][h - 2], 0.0f);
    }
    p->forceBuf1[k] = saved1;
    p->forceBuf2[k] = saved2;
}

TEST(Kernel, NeighbourOfAFixedEndDoesNotMoveTheEnd) {
    auto p = quietPlugin();
    const int k = 86;  // 5 segments: points 1..4 move
    setString(*p, k, 0.4f, 0.4f, 0.0f, 0.001f, 1, 1, 4);
    p->stringPos(k)[0][1] = p->stringPos(k)[1][1] = 0.5f;
    p->keyActive[k] = 1;
    runJob(*p, 1);
    // Point 1 is pulled by the fixed end (at 0) and by point 2 (at 0).
    EXPECT_FLOAT_EQ(p->stringVel(k)[0][1], (-(0.4f * 0.5f)) - (0.4f * 0.5f) - 0.0f);
    EXPECT_EQ(p->stringPos(k)[0][0], 0.0f) << "element 0 is never written";
    EXPECT_EQ(p->stringPos(k)[0][5], 0.0f) << "element N is never written";
}

TEST(Kernel, EqualStringsMoveAlikeUnequalStringsDrift) {
    auto p = quietPlugin();
    setString(*p, 40, 0.5f, 0.5f, 0.0001f, 0.00001f, 10, 20, 18);
    setString(*p, 41, 0.5f, 0.49f, 0.0001f, 0.00001f, 10, 20, 18);
    for (int k : {40, 41}) {
        p->stringPos(k)[0][10] = p->stringPos(k)[1][10] = 0.1f;
        p->keyActive[k] = 1;
    }
    runJob(*p, 500);
    for (int i = 1; i < p->stringLen[40]; ++i) ASSERT_EQ(p->stringPos(40)[0][i], p->stringPos(40)[1][i]);
    bool drifted = false;
    for (int i = 1; i < p->stringLen[41]; ++i) drifted |= p->stringPos(41)[0][i] != p->stringPos(41)[1][i];
    EXPECT_TRUE(drifted);
}

TEST(Kernel, KeysDoNotDisturbEachOther) {
    auto alone = quietPlugin();
    auto together = quietPlugin();
    for (auto* p : {alone.get(), together.get()}) {
        setString(*p, 20, 0.6f, 0.59f, 0.0002f, 0.00002f, 15, 70, 68);
        p->stringPos(20)[0][15] = p->stringPos(20)[1][15] = 0.2f;
        p->keyActive[20] = 1;
    }
    setString(*together, 10, 0.3f, 0.3f, 0.0002f, 0.00002f, 15, 70, 68);
    together->stringPos(10)[0][30] = 0.7f;
    together->keyActive[10] = 1;
    runJob(*alone, 300);
    runJob(*together, 300);
    EXPECT_EQ(std::memcmp(alone->stringPos(20), together->stringPos(20), kNumStrings * kMaxPoints * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(alone->stringVel(20), together->stringVel(20), kNumStrings * kMaxPoints * sizeof(float)), 0);
}

TEST(Kernel, JobRendersOnlyItsOwnKeys) {
    auto p = quietPlugin();
    setString(*p, 3, 0.5f, 0.5f, 0.0001f, 0.00001f, 10, 10, 10);
    setString(*p, 4, 0.5f, 0.5f, 0.0001f, 0.00001f, 10, 10, 10);
    p->stringPos(3)[0][10] = p->stringPos(4)[0][10] = 0.1f;
    p->keyActive[3] = p->keyActive[4] = 1;
    runJob(*p, 10, 1, 2);  // keys 1, 3, 5, ...
    EXPECT_NE(p->stringPos(3)[0][10], 0.1f);
    EXPECT_EQ(p->stringPos(4)[0][10], 0.1f);
}

TEST(Kernel, StrikeKeepsKeyAliveAndDecayEndsIt) {
    auto p = quietPlugin();
    const int k = 48;
    setString(*p, k, 0.2f, 0.2f, 0.0001f, 0.001f, 5, 10, 8);
    std::vector<float> curve(50, 0.0f);  // a silent strike: the key still counts as struck
    float* saved1 = p->forceBuf1[k];
    float* saved2 = p->forceBuf2[k];
    p->forceBuf1[k] = p->forceBuf2[k] = curve.data();
    p->forceCount[k] = 50;
    p->keyActive[k] = 1;
    runJob(*p, 49);
    EXPECT_EQ(p->keyActive[k], 1) << "never silenced while the strike lasts";
    runJob(*p, 2);
    EXPECT_EQ(p->keyActive[k], 0) << "silent at the first quiet sample after it";
    // A struck string with strong damping dies away and leaves the computation.
    curve.assign(50, 0.01f);
    p->forceAmp1[k] = 1.0f;
    p->forceAmp2[k] = 0.0f;
    p->forceCount[k] = 50;
    p->keyActive[k] = 1;
    int samples = 0;
    while (p->keyActive[k] && samples < 200000) {
        runJob(*p, 100);
        samples += 100;
    }
    EXPECT_EQ(p->keyActive[k], 0);
    EXPECT_GT(samples, 1000) << "it rings well beyond the strike";
    p->forceBuf1[k] = saved1;
    p->forceBuf2[k] = saved2;
}

}  // namespace
