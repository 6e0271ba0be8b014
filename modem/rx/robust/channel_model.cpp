#include "rx/robust/channel_model.hpp"

#include <cmath>

#include "common/samples.hpp"

namespace robust {

ChannelModel::Design ChannelModel::MakeDesign(const SymbolResponse& r, double peakGain)
{
    const int n = r.samplesPerBit;
    Design d;
    d.peakGain = peakGain;
    constexpr double kTwoPi = 6.283185307179586;
    d.baselineStep = kTwoPi * kBaselineHz * n / kSampleRate;
    d.leakStep = kTwoPi * kBaselineLeakHz * n / kSampleRate;
    d.neighbour = r.At(n);
    for (int j = 0; j < kTailFilters; ++j) {
        d.tailPole[j] = std::exp(-1.0 / kTailBits[j]);
        d.tailGain[j] = std::sqrt(1.0 - d.tailPole[j] * d.tailPole[j]);
    }
    d.echo = EchoCanceller::MakeDesign(n);
    return d;
}

}  // namespace robust
