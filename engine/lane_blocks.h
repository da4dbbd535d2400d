// Moving string state between a key's point arrays and the lane-major rows
// of the vector kernels (row r, lane l), W rows at a time: W points of each
// lane's stretch loaded whole, a W x W transpose, W rows stored whole; and
// back. One float at a time this copy costs a load and a store per value,
// enough to show against the rows of short sub-blocks. Included by
// kernel_key_lanes.h and kernel_segmented_key.h for vector types that offer
// `transpose`; the others copy float by float.
#pragma once

namespace {

// One float of a lane in (kIn: state to lane) or out (lane to state), for
// the vector types that copy float by float.
template <bool kIn>
inline void moveFloat(float& lane, float& state) {
    if constexpr (kIn)
        lane = state;
    else
        state = lane;
}

template <class V>
constexpr bool kLaneTransposes = requires(typename V::R* block) { V::transpose(block); };

// Lane l holds points at[l][0..count[l]-1] in rows first..first+count[l]-1
// (count[l] is 0 for a lane not moved; its at[l] is not read). Rows from
// `rowCount` on are neither written nor read. In (kIn), a lane's rows past
// its count become +0; out, they are not written back.
template <class V, bool kIn>
void moveLaneBlocks(float (*rows)[V::kWidth], int rowCount, int first, float* const* at, const int* count) {
    constexpr int W = V::kWidth;
    using R = typename V::R;
    int most = 0;
    for (int l = 0; l < W; ++l) most = count[l] > most ? count[l] : most;
    for (int done = 0; done < most; done += W) {
        const int r0 = first + done;
        R block[W];
        if constexpr (kIn) {
            for (int l = 0; l < W; ++l) {
                const int n = count[l] - done < W ? count[l] - done : W;
                block[l] = n == W ? V::load(at[l] + done) : n > 0 ? V::loadPart(at[l] + done, n) : V::set1(0.0f);
            }
            V::transpose(block);
            for (int i = 0; i < W && r0 + i < rowCount; ++i) V::store(rows[r0 + i], block[i]);
        } else {
            for (int i = 0; i < W; ++i) block[i] = r0 + i < rowCount ? V::load(rows[r0 + i]) : V::set1(0.0f);
            V::transpose(block);
            for (int l = 0; l < W; ++l) {
                const int n = count[l] - done < W ? count[l] - done : W;
                if (n == W)
                    V::store(at[l] + done, block[l]);
                else if (n > 0)  // masked stores are slow on some processors: only a lane's last block
                    V::storePart(at[l] + done, block[l], n);
            }
        }
    }
}

}  // namespace
