// The string kernel, written plainly in the order of the model: it is the
// reference that any faster kernel must match bit for bit.
//
// Each string is a chain of point masses between two fixed ends, joined by
// springs (K) and viscous links (c), every moving point damped toward rest
// (g). Semi-implicit Euler with a time step of one sample: velocities from
// accelerations, then positions from the new velocities.
#include <cmath>

#include "engine/voice_job.h"
#include "host/pelmar.h"

namespace {

// Accelerations of points 1..N-1 of one string from the state of the last
// sample. Each link's force is computed once and carried to the next point.
inline void stringAccelerations(const float* X, const float* V, float* A, int N, float K, float c, float g) {
    float left = -(K * X[1] + c * V[1]);  // link from the fixed end 0 to point 1
    for (int i = 1; i < N - 1; ++i) {
        const float right = K * (X[i] - X[i + 1]) + c * (V[i] - V[i + 1]);
        A[i] = left - right - g * V[i];
        left = right;
    }
    const float last = K * X[N - 1] + c * V[N - 1];  // link to the fixed end N
    A[N - 1] = left - last - g * V[N - 1];
}

// Velocities and positions from the accelerations; returns the largest |A|
// seen so far (peak starts at the caller's value).
inline float stringUpdate(float* X, float* V, const float* A, int N, float peak) {
    for (int i = 1; i < N; ++i) {
        V[i] = V[i] + A[i];
        X[i] = X[i] + V[i];
        // |A| by clearing the sign bit: a comparison here compiles to a branch
        // on the sign, which mispredicts half the time. Only a -0 gets another
        // sign than with the comparison, and neither zero exceeds the peak.
        const float a = std::fabs(A[i]);
        if (a > peak) peak = a;
    }
    return peak;
}

}  // namespace

void pelmar_process(void* arg) {
    const VoiceJob& job = *static_cast<const VoiceJob*>(arg);
    pelmar& p = *job.plugin;
    float A1[kMaxPoints];
    float A2[kMaxPoints];

    for (int f = 0; f < job.frames; ++f) {
        float sL = 0.0f;
        float sR = 0.0f;
        for (int k = job.firstKey; k < kNumKeys; k += job.keyStep) {
            if (!p.keyActive[k]) continue;
            const int N = p.stringLen[k];
            float* X1 = p.stringPos(k)[0];
            float* X2 = p.stringPos(k)[1];
            float* V1 = p.stringVel(k)[0];
            float* V2 = p.stringVel(k)[1];
            const float c = p.viscosity[k];
            const float g = p.damping[k];

            stringAccelerations(X1, V1, A1, N, p.stiff1[k], c, g);
            stringAccelerations(X2, V2, A2, N, p.stiff2[k], c, g);

            if (p.forceCount[k] > 0) {
                const int j = --p.forceCount[k];
                const float phi = p.forceBuf2[k][j] * p.forceAmp2[k] + p.forceBuf1[k][j] * p.forceAmp1[k];
                const int h = p.hammerPoint[k];
                A1[h] = A1[h] + phi;
                A2[h] = A2[h] + phi;
            }

            float peak = stringUpdate(X1, V1, A1, N, 0.0f);
            peak = stringUpdate(X2, V2, A2, N, peak);

            // A key whose strings barely move any more leaves the computation;
            // the threshold falls with pitch.
            if (p.forceCount[k] <= 0 && 0.00001f / p.keyFreq[k] > peak) p.keyActive[k] = 0;

            const int pL = p.pickupLeft[k];
            const int pR = p.pickupRight[k];
            sL = (X1[pL] + X2[pL]) + sL;
            sR = (X1[pR] + X2[pR]) + sR;
        }
        job.outLeft[f] = sL;
        job.outRight[f] = sR;
    }
}
