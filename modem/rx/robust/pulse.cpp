#include "rx/robust/pulse.hpp"

#include <cmath>

#include "common/samples.hpp"
#include "rx/robust/interpolator.hpp"
#include "tx/waveform_synth.hpp"

namespace robust {

std::array<double, kMaxTaps> PulseOf(std::int32_t samplesPerBit)
{
    double shapes[2][2][4] = {};  // [previous][bit][sample], levels about 128
    SamplesPerBit setting{samplesPerBit};
    WaveformSynth synth(setting);
    for (std::uint32_t previous = 0; previous < 2; ++previous) {
        for (std::uint32_t bit = 0; bit < 2; ++bit) {
            std::uint8_t out[4] = {};
            synth.previousChannelBit = previous;
            synth.SetWriteCursor(out);
            synth.RenderBit(bit);
            for (int k = 0; k < samplesPerBit; ++k) shapes[previous][bit][k] = out[k] - double{kZeroLevel};
        }
    }
    // Channel bit 0 is the high level, symbol +1.
    std::array<double, kMaxTaps> pulse{};
    for (int k = 0; k < samplesPerBit; ++k) {
        const double(&s)[2][2][4] = shapes;
        pulse[k] = (s[0][0][k] - s[0][1][k] + s[1][0][k] - s[1][1][k]) / (4.0 * kSignalLevel);
        pulse[samplesPerBit + k] = (s[0][0][k] + s[0][1][k] - s[1][0][k] - s[1][1][k]) / (4.0 * kSignalLevel);
    }
    return pulse;
}

double PulseEnergy(std::int32_t samplesPerBit)
{
    double energy = 0.0;
    for (double u : PulseOf(samplesPerBit)) energy += u * u;
    return energy;
}

SymbolResponse::SymbolResponse(std::int32_t n, const std::array<double, kMaxTaps>& taps) : samplesPerBit(n)
{
    const std::array<double, kMaxTaps> pulse = PulseOf(n);
    for (int i = 0; i < 4 * n - 1; ++i)
        for (int j = 0; j < 2 * n; ++j)
            if (i - j >= 0 && i - j < 2 * n) r_[i] += taps[j] * pulse[i - j];
    peak_ = r_[2 * n - 1];
}

double SymbolResponse::At(double samplesFromPeak) const
{
    const double t = samplesFromPeak + (2 * samplesPerBit - 1);
    const double base = std::floor(t);
    const auto value = [&](int i) { return i >= 0 && i < kLength ? r_[i] / peak_ : 0.0; };
    const int i = static_cast<int>(base);
    return Cubic(value(i - 1), value(i), value(i + 1), value(i + 2), t - base);
}

double SymbolResponse::StrobePower() const
{
    double power = 0.0;
    for (int j = -3; j <= 3; ++j) power += At(j * samplesPerBit) * At(j * samplesPerBit);
    return power;
}

}  // namespace robust
