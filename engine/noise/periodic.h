// Periodic helper waveforms of the noise library.
#pragma once

// A pseudo-random value in [-1, 1], constant over each interval of length p;
// 0 when p < 1.
float rds(float x, float p);

// Square wave of period p: +1 on the first half, -1 on the second half of
// each period (for x >= 0); 0 when p < 3.
float rda(float x, float p);

// Waveform of period p: 0 square, 1 triangle, 2 smoothed trapezoid,
// 3 raised sine, 4 sine; 0 for any other type or when p < 1.
float vag(int type, float x, float p);
