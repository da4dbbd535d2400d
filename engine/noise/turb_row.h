// A whole row of t3d_turb values at evenly spread positions, for the hammer
// curves: out[i] = t3d_turb(i / scale, n, a, b) for i = 0..count-1.
// Vector builds compute several positions at once, each lane going through
// the scalar function's operations in the same order, so every value has the
// same bits as the scalar call.
#pragma once

void t3d_turb_row_scalar(float* out, int count, float scale, int n, float a, float b);
void t3d_turb_row_avx2(float* out, int count, float scale, int n, float a, float b);
void t3d_turb_row_avx512(float* out, int count, float scale, int n, float a, float b);
