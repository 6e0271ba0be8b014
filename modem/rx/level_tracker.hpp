#pragma once
// First receive stage: a running DC estimate (time constant 160 samples)
// slices each sample into a bit for Next::ClockSample; a decaying peak and
// trough are kept for the level read-out. The double arithmetic is evaluated
// exactly as written: every decoded bit depends on it.

#include <cstdint>

struct LevelTrackerState {
    double dcLevel = 128.0;
    std::int32_t sliceThreshold = 128;
    double peakLevel = 128.0;
    double troughLevel = 128.0;

    bool operator==(const LevelTrackerState&) const = default;
};

template <class Next>
class LevelTracker : public LevelTrackerState {
public:
    // The DC estimate keeps 159 parts of itself and takes 1 of the sample,
    // scaled by 1/160 as a multiplication: a time constant of 160 samples.
    static constexpr double kDcKeptParts = 159.0;
    static constexpr double kDcScale = 0.00625;
    // Peak and trough move back toward the signal by this many levels a
    // sample (a full swing of 100 levels in 1000 samples, 45 ms).
    static constexpr double kLevelDecayPerSample = 0.1;

    explicit LevelTracker(Next& next, const LevelTrackerState& state = {}) : LevelTrackerState(state), next_(next) {}

    // sample: one unsigned 8-bit sample, 0 to 255.
    void TrackSample(std::int32_t sample)
    {
        const double x = sample;
        dcLevel = (dcLevel * kDcKeptParts + x) * kDcScale;
        sliceThreshold = static_cast<std::int32_t>(dcLevel);
        if (x >= peakLevel) peakLevel = x;
        peakLevel -= kLevelDecayPerSample;
        if (x <= troughLevel) troughLevel = x;
        troughLevel += kLevelDecayPerSample;
        next_.ClockSample(sample >= sliceThreshold ? 1 : 0);
    }

private:
    Next& next_;
};
