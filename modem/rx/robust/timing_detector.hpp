#pragma once
// Timing error: Gardner's detector e_t = (y_n - y_(n-1)) y_(n-1/2) / P, P
// the mean y^2 at the strobes (Squelch), so that its gain K_p (per bit of
// timing error) is that of the noise-free signal whatever the channel's
// gain, and independent of polarity. The detector is decision-free: it
// locks before the decisions are right. |e_t| is clamped to
// kMaxTimingError, four times the detector's typical magnitude, against
// single spikes.
//
// K_p is computed from the pulse (Gain): the slope at 0 of
//   sum_j [r(j+t) - r(j-1+t)] r(j-1/2+t) / sum_j r(j)^2,
// r the matched filter's output for one symbol, peak 1, times in bits,
// through the same cubic interpolator.

#include <algorithm>

#include "rx/robust/pulse.hpp"

namespace robust {

constexpr double kMaxTimingError = 4.0;  // |e_t| clamp: one noise spike moves the strobe little

struct TimingDetector {
    // K_p for the symbol response r, per bit of timing error.
    static double Gain(const SymbolResponse& r);

    // From the strobe y_n, the one before and the midpoint between them;
    // normalisation P in levels^2.
    static double Error(double y, double previousY, double midValue, double normalisation)
    {
        return std::clamp((y - previousY) * midValue / normalisation, -kMaxTimingError, kMaxTimingError);
    }
};

}  // namespace robust
