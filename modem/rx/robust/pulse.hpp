#pragma once
// The transmitted pulse and its response through the matched filter: what
// the blocks' designs are computed from, for each samples-per-bit setting.
//
// Signal model. WaveformSynth renders bit n (symbol a_n = +1 for the high
// level, -1 for the low one) as samples 128 + 50 (g_k a_n + h_k a_(n-1)),
// k = 0 .. N-1, N samples per bit: a linear modulation with the unit pulse
// u = [g_0 .. g_(N-1), h_0 .. h_(N-1)], two bits long. g and h are read off
// the synth's own output for the four bit pairs (PulseOf), never retyped:
//   N = 4: u = [.7 .9 1 1 .3 .1 0 0]   N = 3: u = [.5 .8 1 .5 .2 0]
//   N = 2: u = [1 1.1 0 -.1]

#include <array>
#include <cstdint>

namespace robust {

constexpr int kMaxTaps = 8;            // the pulse at 4 samples per bit, 2 bits long
constexpr double kSignalLevel = 50.0;  // synth levels about 128

// The unit pulse u (2N values) from the synth's samples for the four bit pairs.
std::array<double, kMaxTaps> PulseOf(std::int32_t samplesPerBit);

// Energy of the unit pulse, sum u^2 (samples).
double PulseEnergy(std::int32_t samplesPerBit);

// r: the output of the filter `taps` (newest sample first) for one symbol,
// peak 1, read between the samples through the receiver's own cubic
// interpolator; times in samples from the peak.
class SymbolResponse {
public:
    SymbolResponse(std::int32_t samplesPerBit, const std::array<double, kMaxTaps>& taps);
    double At(double samplesFromPeak) const;

    // Mean y^2 at the strobes for random symbols, sum_j r(jN)^2 (peak 1).
    double StrobePower() const;

    const std::int32_t samplesPerBit;

private:
    static constexpr int kLength = 2 * kMaxTaps - 1;
    double r_[kLength] = {};
    double peak_ = 1.0;
};

}  // namespace robust
