#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/noise/additive_random.h"
#include "engine/noise/periodic.h"
#include "engine/noise/t3d_noise.h"

namespace {

TEST(NoiseTables, HoldGlibcRandAfterSrand1InAlternatingDraws) {
    t3d_init_noise();
    std::srand(1);
    for (int i = 0; i < kNoiseTableSize; ++i) {
        const float value = static_cast<float>(std::rand() & 0x7FFFFFFF) * 4.656613e-10f;
        const float slope = (static_cast<float>(std::rand() & 0x7FFFFFFF) * 4.656613e-10f - 0.5f) * 1.33f;
        ASSERT_EQ(aleat[i], value) << i;
        ASSERT_EQ(dxaleat[i], slope) << i;
    }
    EXPECT_GE(*std::min_element(std::begin(aleat), std::end(aleat)), 0.0f);
    EXPECT_LT(*std::max_element(std::begin(aleat), std::end(aleat)), 1.0f);
    EXPECT_GE(*std::min_element(std::begin(dxaleat), std::end(dxaleat)), -0.665f);
    EXPECT_LE(*std::max_element(std::begin(dxaleat), std::end(dxaleat)), 0.665f);
}

TEST(NoiseTables, PrivateGeneratorFollowsRandForOtherSeedsToo) {
    for (unsigned seed : {0u, 1u, 2u, 12345u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::srand(seed);
        AdditiveRandom random(seed);
        for (int i = 0; i < 5000; ++i) ASSERT_EQ(random.next(), std::rand()) << "seed " << seed << " draw " << i;
    }
}

TEST(NoiseTables, FillingLeavesTheProcessGeneratorAlone) {
    std::srand(77);
    const int first = std::rand();
    const int second = std::rand();
    std::srand(77);
    EXPECT_EQ(std::rand(), first);
    t3d_init_noise();
    EXPECT_EQ(std::rand(), second);
}

TEST(NoiseTables, ConcurrentFillsAgreeWithOneFill) {
    std::vector<std::thread> threads;
    std::vector<float> seen(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &seen] {
            t3d_init_noise();
            seen[t] = t3d_bruit(17.25f + static_cast<float>(t) * 1493.0f);
        });
    for (auto& thread : threads) thread.join();
    for (float value : seen) EXPECT_EQ(value, seen[0]);
    EXPECT_NE(seen[0], 0.0f);
}

TEST(Bruit, InterpolatesLatticeValuesAndSlopesWithPeriod1493) {
    t3d_init_noise();
    for (int c : {0, 1, 700, 1492}) EXPECT_EQ(t3d_bruit(static_cast<float>(c)), aleat[c]) << c;
    EXPECT_EQ(t3d_bruit(-1.0f), aleat[1492]);
    EXPECT_EQ(t3d_bruit(1493.0f), aleat[0]);
    EXPECT_EQ(t3d_bruit(-1493.0f * 3 + 5), aleat[5]);
    EXPECT_EQ(t3d_bruit(0.25f + 1493.0f), t3d_bruit(0.25f));
    EXPECT_EQ(t3d_bruit(-0.75f), t3d_bruit(0.25f + 1492.0f));
    // Continuous with slope d0 at a lattice point, approached from both sides.
    const float h = 1.0f / 1024.0f;
    for (int c : {3, 100, 1492}) {
        const float at = static_cast<float>(c);
        EXPECT_NEAR(t3d_bruit(at - h), aleat[c] - h * dxaleat[c], 1e-5f) << c;
        EXPECT_NEAR((t3d_bruit(at + h) - t3d_bruit(at)) / h, dxaleat[c], 2e-3f) << c;
    }
}

TEST(Bruit, AnyPositionGivesAFiniteValue) {
    t3d_init_noise();
    // Whole numbers beyond the integer range still use their lattice point.
    const float big = 3.0e12f;
    EXPECT_EQ(t3d_bruit(big), aleat[static_cast<int>(std::fmod(big, 1493.0f))]);
    EXPECT_EQ(t3d_bruit(-big), aleat[1493 - static_cast<int>(std::fmod(big, 1493.0f))]);
    for (float x : {NAN, INFINITY, -INFINITY, 1e38f, -1e38f, 2147483648.0f, -2147483648.0f})
        EXPECT_TRUE(std::isfinite(t3d_bruit(x))) << x;
    EXPECT_EQ(t3d_bruit(NAN), 0.5f);
}

TEST(Turb, OneOctaveIsScaledNoiseAndNoOctaveIsSilent) {
    t3d_init_noise();
    for (float x : {0.0f, 3.7f, 120.25f})
        for (float a : {-0.5f, 0.0f, 0.3f})
            for (float b : {-2.0f, 0.1f, 0.4f}) EXPECT_NEAR(t3d_turb(x, 1, a, b), 10.0f * (t3d_bruit(x) - 0.5f), 1e-5f);
    EXPECT_EQ(t3d_turb(3.7f, 0, 0.2f, 0.2f), 0.0f);
    EXPECT_EQ(t3d_turb(3.7f, -4, 0.2f, 0.2f), 0.0f);
}

TEST(Turb, WeightsTheOctavesByTheirRatio) {
    t3d_init_noise();
    // Two octaves with weight ratio 1 + a: (n0 + (1 + a) n1) / (2 + a).
    const float x = 5.3f;
    const float a = 0.25f;
    const float b = 0.1f;
    const float n0 = t3d_bruit(x) - 0.5f;
    const float n1 = t3d_bruit(1.1f * x + 571.171f) - 0.5f;
    EXPECT_NEAR(t3d_turb(x, 2, a, b), 10.0f * (n0 + (1.0f + a) * n1) / (2.0f + a), 1e-5f);
}

TEST(Turb0, SumsHalvingOctaves) {
    t3d_init_noise();
    EXPECT_EQ(t3d_turb0(2.5f, 0), 0.0f);
    EXPECT_EQ(t3d_turb0(2.5f, -3), 0.0f);
    EXPECT_EQ(t3d_turb0(2.5f, 1), t3d_bruit(2.5f) - 0.5f);
    EXPECT_NEAR(t3d_turb0(2.5f, 2), (t3d_bruit(2.5f) - 0.5f) + (t3d_bruit(5.0f) - 0.5f) / 2.0f, 1e-6f);
    // Octaves past the float range add nothing.
    EXPECT_EQ(t3d_turb0(0.3f, 1000000000), t3d_turb0(0.3f, 128));
    EXPECT_TRUE(std::isfinite(t3d_turb0(0.3f, 200)));
}

TEST(Periodic, RandomStepsSquareWaveAndShapes) {
    EXPECT_EQ(rds(10.0f, 0.5f), 0.0f);
    EXPECT_NEAR(rds(0.0f, 1.0f), -0.95895f, 1e-5f);
    EXPECT_EQ(rds(0.2f, 1.0f), rds(0.9f, 1.0f));
    // Step -1: (-25713 + 1345) mod 65536 = 41168.
    EXPECT_FLOAT_EQ(rds(-1.5f, 1.0f), 2.0f * 41168.0f / 65535.0f - 1.0f);
    // The step number wraps in 32 bits: only its low 16 bits count.
    EXPECT_EQ(rds(65536.0f * 100.0f + 3.0f, 1.0f), rds(3.0f, 1.0f));
    EXPECT_EQ(rds(1e30f, 1.0f), rds(static_cast<float>(std::fmod(1e30f, 65536.0f)), 1.0f));
    EXPECT_EQ(rds(NAN, 1.0f), 0.0f);
    EXPECT_EQ(rds(1.0f, NAN), 0.0f);

    EXPECT_EQ(rda(0.0f, 10.0f), 1.0f);
    EXPECT_EQ(rda(5.0f, 10.0f), -1.0f);
    EXPECT_EQ(rda(14.9f, 10.0f), 1.0f);
    EXPECT_EQ(rda(-5.0f, 10.0f), 1.0f);
    EXPECT_EQ(rda(1.0f, 2.9f), 0.0f);
    // Stepped through whole positions, the square wave gives rda's values
    // to the bit, also where a period's half falls between two positions
    // and for periods too short to play one (0). Every period a key can
    // have up to 2000, then a spread of the longer ones, over a whole
    // curve's positions (152 onwards).
    for (int p = 1; p <= 10922; p += p < 2000 ? 1 : 37) {
        SquareWaveSteps steps(152, p);
        for (int x = 152; x < 152 + 3 * p; ++x) {
            const float expected = rda(static_cast<float>(x), static_cast<float>(p));
            const float stepped = steps.next();
            ASSERT_EQ(std::memcmp(&expected, &stepped, sizeof(float)), 0) << "x " << x << " p " << p;
        }
    }

    EXPECT_EQ(vag(0, 2.0f, 10.0f), 1.0f);
    EXPECT_EQ(vag(0, 7.0f, 10.0f), -1.0f);
    EXPECT_EQ(vag(1, 5.0f, 10.0f), 1.0f);
    EXPECT_FLOAT_EQ(vag(1, 2.0f, 10.0f), 0.4f);
    EXPECT_NEAR(vag(2, 1.0f, 10.0f), 0.352f, 1e-6f);
    EXPECT_EQ(vag(2, 4.0f, 10.0f), 1.0f);
    EXPECT_NEAR(vag(3, 0.0f, 10.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(vag(3, 5.0f, 10.0f), 2.0f, 1e-6f);
    EXPECT_NEAR(vag(4, 2.5f, 10.0f), 1.0f, 1e-6f);
    EXPECT_EQ(vag(7, 3.0f, 10.0f), 0.0f);
    EXPECT_EQ(vag(-1, 3.0f, 10.0f), 0.0f);
    EXPECT_EQ(vag(4, 3.0f, 0.5f), 0.0f);
}

}  // namespace
