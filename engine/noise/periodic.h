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

// rda(x, p) for whole x = first, first + 1, ... (0 <= first, and x below
// 2^23) and whole p, one value a call, without a division. For such x the
// rounded quotient x / p never reaches the next half or whole period early,
// so the half of the period that x lies in decides the value, as in rda.
class SquareWaveSteps {
public:
    SquareWaveSteps(int first, int p)
        : period(p), inPeriod(p >= 1 ? first % p : 0), high(p >= 3 ? 1.0f : 0.0f), low(p >= 3 ? -1.0f : 0.0f) {}
    float next() {
        const float value = 2 * inPeriod >= period ? low : high;
        if (++inPeriod == period) inPeriod = 0;
        return value;
    }

private:
    int period;
    int inPeriod;  // x mod p
    float high, low;
};
