#include "engine/noise/turb_row.h"

#include "engine/noise/t3d_noise.h"

void t3d_turb_row_scalar(float* out, int count, float scale, int n, float a, float b) {
    for (int i = 0; i < count; ++i) out[i] = t3d_turb(static_cast<float>(i) / scale, n, a, b);
}
