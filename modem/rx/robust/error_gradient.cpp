#include "rx/robust/error_gradient.hpp"

namespace robust {

ErrorGradient::Design ErrorGradient::MakeDesign(const SymbolResponse& r, double gardnerGain)
{
    Design d;
    d.scale = gardnerGain / Gain(r);
    return d;
}

double ErrorGradient::Gain(const SymbolResponse& r)
{
    const int n = r.samplesPerBit;
    // The model fitted at offset 0 holds the shares r(jN); e and y' at
    // offset t are linear in the bits, and random bits leave the sums of
    // their products bit by bit.
    const auto slope = [&](int j, double offsetSamples) {
        return r.At(j * n + 0.5 * n + offsetSamples) - r.At(j * n - 0.5 * n + offsetSamples);
    };
    double slopePower = 0.0;
    for (int j = -3; j <= 4; ++j) slopePower += slope(j, 0.0) * slope(j, 0.0);
    const auto meanError = [&](double offsetSamples) {
        double product = 0.0;
        for (int j = -3; j <= 4; ++j) product += (r.At(j * n + offsetSamples) - r.At(j * n)) * slope(j, offsetSamples);
        return product / slopePower;
    };
    constexpr double kStep = 1e-3;  // samples
    return (meanError(kStep) - meanError(-kStep)) / (2.0 * kStep) * n;
}

}  // namespace robust
