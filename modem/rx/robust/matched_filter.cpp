#include "rx/robust/matched_filter.hpp"

namespace robust {

MatchedFilter::Design MatchedFilter::MakeDesign(std::int32_t samplesPerBit)
{
    const int n = samplesPerBit;
    const std::array<double, kMaxTaps> pulse = PulseOf(n);
    double sum = 0.0, energy = 0.0;
    for (int k = 0; k < 2 * n; ++k) {
        sum += pulse[k];
        energy += pulse[k] * pulse[k];
    }
    Design d;
    // taps[j] multiplies x_(n-j): the pulse reversed.
    for (int j = 0; j < 2 * n; ++j) d.taps[j] = pulse[2 * n - 1 - j] / sum;
    d.peakGain = energy / sum;
    return d;
}

}  // namespace robust
