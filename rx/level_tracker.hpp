#pragma once
// First receive stage: a running DC estimate (time constant 160 samples)
// slices each sample into a bit for Next::ClockSample; a decaying peak and
// trough are kept for the level read-out. The double arithmetic is evaluated
// exactly as written: every decoded bit depends on it.

#include <cstdint>

#include "rx/bit_clock.hpp"

struct LevelTrackerState {
    double dcLevel = 128.0;
    std::int32_t sliceThreshold = 128;
    double peakLevel = 128.0;
    double troughLevel = 128.0;

    bool operator==(const LevelTrackerState&) const = default;
};

template <class Next = BitClock<>>
class LevelTracker : public LevelTrackerState {
public:
    explicit LevelTracker(Next& next, const LevelTrackerState& state = {}) : LevelTrackerState(state), next_(next) {}

    // sample: one unsigned 8-bit sample, 0 to 255.
    void TrackSample(std::int32_t sample)
    {
        const double x = sample;
        dcLevel = (dcLevel * 159.0 + x) * 0.00625;
        sliceThreshold = static_cast<std::int32_t>(dcLevel);
        if (x >= peakLevel) peakLevel = x;
        peakLevel -= 0.1;
        if (x <= troughLevel) troughLevel = x;
        troughLevel += 0.1;
        next_.ClockSample(sample >= sliceThreshold ? 1 : 0);
    }

private:
    Next& next_;
};
