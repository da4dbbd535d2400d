// The force curves built with the vector noise rows and spread over the
// workers must have the reference build's bits, for every key and for
// parameter sets from the softest to the hardest hammer and stored values
// outside the editor's range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/kernel_paths.h"
#include "engine/noise/t3d_noise.h"
#include "engine/noise/turb_row.h"
#include "support/plugin_fixture.h"

namespace {

struct KernelChoice {
    KernelPath saved = selectedKernelPath();
    ~KernelChoice() { selectKernelPath(saved); }
};

struct HammerSetting {
    float hardness, roundness, material, sharpness, force;
    std::int8_t offset;  // every key's offset of the five hammer parameters
};

std::vector<float> curvesOf(KernelPath path, int workers, const HammerSetting& s) {
    EXPECT_TRUE(selectKernelPath(path));
    auto p = testplug::make(workers);
    Program& program = p->currentProgram();
    for (int j : {kHardness, kRoundness, kMaterial, kSharpness, kForce})
        for (int k = 0; k < kNumKeys; ++k) program.keyOffset[j][k] = static_cast<std::int8_t>(k % 2 ? s.offset : -s.offset);
    program.param[kHardness] = s.hardness;
    program.param[kRoundness] = s.roundness;
    program.param[kMaterial] = s.material;
    program.param[kSharpness] = s.sharpness;
    program.param[kForce] = s.force;
    p->forceInit(0x7C08);
    std::vector<float> curves;
    for (int k = 0; k < kNumKeys; ++k) {
        curves.insert(curves.end(), p->forceBuf1[k], p->forceBuf1[k] + p->forceLen[k]);
        curves.insert(curves.end(), p->forceBuf2[k], p->forceBuf2[k] + p->forceLen[k]);
    }
    return curves;
}

TEST(CurveIdentity, EveryPathAndWorkerCountBuildsTheReferenceCurves) {
    KernelChoice keep;
    const HammerSetting settings[] = {
        {0.5f, 0.5f, 0.5f, 0.5f, 0.7f, 0},       // middle of every range
        {1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 127},    // 40 octaves, sharpest roundness the offsets reach
        {0.0f, 1.0f, 0.0f, 0.0f, 0.3f, -127},   // fewest octaves
        {1e30f, NAN, INFINITY, -5.0f, 2.0f, 90},  // stored values outside the editor's range
    };
    for (const HammerSetting& s : settings) {
        const std::vector<float> reference = curvesOf(KernelPath::Reference, 1, s);
        bool nonZero = false;
        for (float v : reference) nonZero |= v != 0.0f;
        EXPECT_TRUE(nonZero || s.force <= 0.0f);
        for (KernelPath path : {KernelPath::Baseline, KernelPath::Avx2, KernelPath::Avx512}) {
            if (!kernelPathAvailable(path)) continue;
            for (int workers : {1, 2, 3}) {
                const std::vector<float> built = curvesOf(path, workers, s);
                ASSERT_EQ(built.size(), reference.size());
                EXPECT_EQ(std::memcmp(built.data(), reference.data(), sizeof(float) * built.size()), 0)
                    << "path " << static_cast<int>(path) << " workers " << workers << " hardness " << s.hardness;
            }
        }
    }
}

// The rows directly, at positions that reach far beyond the noise period and
// beyond the integer range, where t3d_bruit takes its other branches.
TEST(CurveIdentity, NoiseRowsMatchScalarCallsAtExtremePositions) {
    t3d_init_noise();
    const float scales[] = {0.37f, 3.0f, 0.001f, 0.0137f, 1e-7f, -0.01f, 1e-30f};
    for (float scale : scales) {
        for (int n : {0, 1, 7, 40}) {
            // A row shorter than a vector, and one that ends in part of one.
            for (int count : {5, 203}) {
                std::vector<float> expected(count), row(count);
                t3d_turb_row_scalar(expected.data(), count, scale, n, 0.3f, 0.3f);
                for (int i = 0; i < count; ++i) ASSERT_EQ(expected[i], t3d_turb(static_cast<float>(i) / scale, n, 0.3f, 0.3f));
                for (KernelPath path : {KernelPath::Avx2, KernelPath::Avx512}) {
                    if (!kernelPathAvailable(path)) continue;
                    (path == KernelPath::Avx2 ? t3d_turb_row_avx2 : t3d_turb_row_avx512)(row.data(), count, scale, n, 0.3f, 0.3f);
                    EXPECT_EQ(std::memcmp(row.data(), expected.data(), sizeof(float) * count), 0)
                        << "scale " << scale << " octaves " << n << " count " << count << " path " << static_cast<int>(path);
                }
            }
        }
    }
}

}  // namespace
