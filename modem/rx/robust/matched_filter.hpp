#pragma once
// Matched filter: z = sum u_(2N-1-j) x_(n-j) / sum u, the time-reversed
// pulse scaled to unit gain at DC, so that a steady level passes unchanged
// (the baseline is then in sample levels). Best SNR at the strobe for white
// noise; its output at the peak of one symbol is 50 |u|^2 / sum u levels.
// One 8-tap filter per sample; shorter pulses are padded with zeros.

#include <array>
#include <cstdint>

#include "rx/robust/pulse.hpp"

namespace robust {

struct MatchedFilter {
    struct Design {
        std::array<double, kMaxTaps> taps{};  // newest sample first
        double peakGain = 1.0;                // strobe output of one symbol / 50 levels

        bool operator==(const Design&) const = default;
    };
    static Design MakeDesign(std::int32_t samplesPerBit);

    Design design;
    std::array<double, kMaxTaps> input{};  // x_n first, levels about the zero level

    double Filter(double x)
    {
        for (int j = kMaxTaps - 1; j > 0; --j) input[j] = input[j - 1];
        input[0] = x;
        double z = 0.0;
        for (int j = 0; j < kMaxTaps; ++j) z += design.taps[j] * input[j];
        return z;
    }

    bool operator==(const MatchedFilter&) const = default;
};

}  // namespace robust
