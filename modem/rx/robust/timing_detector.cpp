#include "rx/robust/timing_detector.hpp"

namespace robust {

double TimingDetector::Gain(const SymbolResponse& r)
{
    const int n = r.samplesPerBit;
    const auto meanError = [&](double offsetSamples) {
        double e = 0.0;
        for (int j = -3; j <= 4; ++j)
            e += (r.At(j * n + offsetSamples) - r.At((j - 1) * n + offsetSamples)) * r.At((j - 0.5) * n + offsetSamples);
        return e;
    };
    constexpr double kStep = 1e-3;  // samples
    // The detector is normalised by the mean strobe power, sum_j r(j)^2 for
    // the noise-free signal.
    return (meanError(kStep) - meanError(-kStep)) / (2.0 * kStep) * n / r.StrobePower();
}

}  // namespace robust
