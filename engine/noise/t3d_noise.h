// Smooth one-dimensional procedural noise and sums of its octaves, built on
// two process-wide tables of random lattice values and slopes.
#pragma once

constexpr int kNoiseTableSize = 1493;  // the period of the noise, in lattice units

// Noise value (0..1) and slope (-0.665..0.665) at each lattice point. They
// hold zeros until the first t3d_init_noise and the same values after it.
extern const float (&aleat)[kNoiseTableSize];
extern const float (&dxaleat)[kNoiseTableSize];

// The same values arranged per lattice cell c: aleat[c], dxaleat[c],
// aleat[c + 1], dxaleat[c + 1] (c + 1 wrapping to 0), so that vector code
// fetches a cell's four values with two 64-bit loads. Filled with the tables.
extern const float (&noiseCells)[kNoiseTableSize][4];

// Fills both tables, once per process; later and concurrent calls wait for
// that fill and return. Call it before reading the tables.
void t3d_init_noise();

// Noise at x: cubic Hermite interpolation between the lattice values with the
// lattice slopes; repeats every kNoiseTableSize units.
float t3d_bruit(float x);

// Ten times the weighted mean of n octaves of noise: octave j is read at
// frequency (1 + b)^j, shifted by 571.171 j, and weighs (1 + a)^(j + 1).
// n < 1 gives 0 (no octave, no noise).
float t3d_turb(float x, int n, float a, float b);

// Sum of n octaves with doubling frequency and halving weight, no offset.
float t3d_turb0(float x, int n);
