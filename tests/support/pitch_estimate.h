// Fundamental frequency of a rendered note by autocorrelation over lags from
// the expected period divided by 1.5 to the expected period times 1.5, refined
// by a parabola through the best lag.
#pragma once

#include <cstddef>
#include <vector>

namespace testpitch {

inline double measurePitch(const std::vector<float>& x, std::size_t from, std::size_t length, double expectedHz,
                           double rate = 44100.0) {
    const int minLag = static_cast<int>(rate / (expectedHz * 1.5));
    const int maxLag = static_cast<int>(rate / (expectedHz / 1.5)) + 1;
    std::vector<double> r(static_cast<std::size_t>(maxLag + 2), 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0.0;
        for (std::size_t i = from; i < from + length; ++i) sum += static_cast<double>(x[i]) * x[i + lag];
        r[lag] = sum;
    }
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; ++lag)
        if (r[lag] > r[best]) best = lag;
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double shift = 0.5 * (a - c) / (a - 2.0 * b + c);
    return rate / (best + shift);
}

}  // namespace testpitch
