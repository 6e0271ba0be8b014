#pragma once
// Full-resolution samples for the rate finder, at a working level: their
// deviation from their mean (over kLevelSamples, 46 ms, as the finder's own
// DC level) scaled so that its peak, which follows each larger one at once
// and decays with the same time constant, is kFinderPeak levels about the
// zero level; the gain at most kMaxFinderGain (below). A quiet input (a sound
// card's at -30 dB, 16 bits) would otherwise swing by a level or two in 8
// bits, where neither of the finder's slicers sees its flags. The peak
// never clips: clipping would turn a run's slow droop through the DC level
// into an edge.

#include <algorithm>
#include <cmath>
#include <cstdint>

class FinderLevel {
public:
    static constexpr double kFinderPeak = 100.0;        // 8-bit levels from the zero level
    static constexpr double kLevelSamples = 1024.0;     // the mean's and the peak's time constant, samples
    // Levels per full scale: 42 dB above 8 bits' own 128, so a -40 dB input
    // still swings by 60 levels, while a 16-bit step stays under half a
    // level: digital silence and its dither stay at the zero level instead
    // of being raised into something like a signal.
    static constexpr double kMaxFinderGain = 16384.0;

    // x: full scale 1.
    std::uint8_t Sample(double x)
    {
        mean_ += (x - mean_) / kLevelSamples;
        const double deviation = x - mean_;
        peak_ = std::max(std::abs(deviation), peak_ * (1.0 - 1.0 / kLevelSamples));
        const double gain = std::min(kMaxFinderGain, kFinderPeak / std::max(peak_, 1e-300));
        return static_cast<std::uint8_t>(std::clamp(std::round(128.0 + gain * deviation), 0.0, 255.0));
    }

    bool operator==(const FinderLevel&) const = default;

private:
    double mean_ = 0.0;  // full scale 1
    double peak_ = 0.0;
};
