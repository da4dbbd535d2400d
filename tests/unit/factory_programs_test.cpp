#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "host/program.h"
#include "support/bank_hash.h"

namespace {

int rowSum(const Program& p, int param) { return std::accumulate(p.keyOffset[param], p.keyOffset[param] + kNumKeys, 0); }

int nonZeroOffsets(const Program& p) {
    int n = 0;
    for (auto& row : p.keyOffset)
        for (std::int8_t o : row) n += o != 0;
    return n;
}

TEST(FactoryPrograms, BankMatchesThePublishedTableByteForByte) {
    EXPECT_EQ(fnv1a64(pminit, sizeof(Program) * kNumPrograms), kFactoryBankHash);
}

TEST(FactoryPrograms, ValuesNamesAndOffsetRows) {
    EXPECT_EQ(pminit[0].param[kVolume], 0.7009346f);
    EXPECT_EQ(pminit[0].param[kVeloDynamics], 0.7757009f);
    EXPECT_EQ(pminit[1].param[kHammerPos], 0.12911215f);
    EXPECT_EQ(pminit[3].param[kDamper], 0.018691588f);
    EXPECT_EQ(pminit[4].param[kVeloSoft], 0.5046729f);
    EXPECT_EQ(pminit[6].param[kRoundness], 0.1f);
    const char* names[] = {"bright", "muffled", "untuned", "pling", "xamba", "damper", "-", "-", "-", "-"};
    for (int p = 0; p < kNumPrograms; ++p) {
        EXPECT_STREQ(pminit[p].name, names[p]);
        for (std::size_t i = std::strlen(names[p]); i < kProgramNameSize; ++i) EXPECT_EQ(pminit[p].name[i], 0);
    }
    // Sums of the four non-zero rows, and nothing else set anywhere.
    EXPECT_EQ(rowSum(pminit[0], kForce), -1022);
    EXPECT_EQ(pminit[0].keyOffset[kForce][41], 0);
    EXPECT_EQ(pminit[0].keyOffset[kForce][42], -1);
    EXPECT_EQ(rowSum(pminit[2], kTuning), 722);
    EXPECT_EQ(pminit[2].keyOffset[kTuning][85], 81);
    EXPECT_EQ(rowSum(pminit[3], kSoftness), 1448);
    EXPECT_EQ(rowSum(pminit[5], kSoftness), 1372);
    EXPECT_EQ(pminit[5].keyOffset[kSoftness][45], 0);
    EXPECT_EQ(pminit[5].keyOffset[kSoftness][46], 1);
    EXPECT_EQ(nonZeroOffsets(pminit[0]), 46);
    EXPECT_EQ(nonZeroOffsets(pminit[1]), 0);
    EXPECT_EQ(nonZeroOffsets(pminit[4]), 0);
    for (int p = 7; p < kNumPrograms; ++p) EXPECT_EQ(std::memcmp(&pminit[p], &pminit[6], sizeof(Program)), 0);
}

}  // namespace
