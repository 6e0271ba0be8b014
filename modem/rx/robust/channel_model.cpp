#include "rx/robust/channel_model.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/samples.hpp"

namespace robust {

namespace {

// The least eigenvalue of the symmetric 3 x 3 matrix m (trigonometric
// solution of its characteristic cubic).
double LeastEigenvalue(const std::array<std::array<double, 3>, 3>& m)
{
    constexpr double kPi = 3.141592653589793;
    const double offDiagonal = m[0][1] * m[0][1] + m[0][2] * m[0][2] + m[1][2] * m[1][2];
    const double mean = (m[0][0] + m[1][1] + m[2][2]) / 3.0;
    const double spread = std::sqrt(((m[0][0] - mean) * (m[0][0] - mean) + (m[1][1] - mean) * (m[1][1] - mean) +
                                     (m[2][2] - mean) * (m[2][2] - mean) + 2.0 * offDiagonal) /
                                    6.0);
    if (spread == 0.0) return mean;
    std::array<std::array<double, 3>, 3> b{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) b[i][j] = (m[i][j] - (i == j ? mean : 0.0)) / spread;
    const double half = (b[0][0] * (b[1][1] * b[2][2] - b[1][2] * b[2][1]) - b[0][1] * (b[1][0] * b[2][2] - b[1][2] * b[2][0]) +
                         b[0][2] * (b[1][0] * b[2][1] - b[1][1] * b[2][0])) /
                        2.0;
    const double angle = std::acos(std::clamp(half, -1.0, 1.0)) / 3.0;
    return mean + 2.0 * spread * std::cos(angle + 2.0 * kPi / 3.0);
}

}  // namespace

ChannelModel::Design ChannelModel::MakeDesign(const SymbolResponse& r, double peakGain)
{
    const int n = r.samplesPerBit;
    Design d;
    d.peakGain = peakGain;
    constexpr double kTwoPi = 6.283185307179586;
    d.baselineStep = kTwoPi * kBaselineHz * n / kSampleRate;
    d.quietBaselineStep = kTwoPi * kQuietBaselineHz * n / kSampleRate;
    d.leakStep = kTwoPi * kBaselineLeakHz * n / kSampleRate;
    d.neighbour = r.At(n);
    for (int j = 0; j < kTailFilters; ++j) {
        d.tailPole[j] = std::exp(-1.0 / kTailBits[j]);
        d.tailGain[j] = std::sqrt(1.0 - d.tailPole[j] * d.tailPole[j]);
    }
    static_assert(kTailFilters == 3);
    std::array<std::array<double, 3>, 3> correlation{};
    for (int i = 0; i < kTailFilters; ++i)
        for (int j = 0; j < kTailFilters; ++j)
            correlation[i][j] = d.tailGain[i] * d.tailGain[j] / (1.0 - d.tailPole[i] * d.tailPole[j]);
    const double slowest = 1.0 / (kFeedbackStep * LeastEigenvalue(correlation));
    d.baselineHoldBits = kOnsetBits + static_cast<std::int32_t>(std::ceil(slowest));
    d.echo = EchoCanceller::MakeDesign(n);
    return d;
}

}  // namespace robust
