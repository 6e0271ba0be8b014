#pragma once
// Bit timing from the sliced samples: a phase accumulator over 0..100 per
// bit period, nudged by 10 toward the middle at every level change; each
// time it passes 100 the current sample's bit goes to Next::DecodeBit.

#include <cstdint>

struct BitClockState {
    double clockPhase = 0.0;
    double phaseIncrement = 25.0;
    std::int32_t previousSampleBit = 0;

    bool operator==(const BitClockState&) const = default;
};

template <class Next>
class BitClock : public BitClockState {
public:
    // The phase runs over one bit period in these units (percent of a bit).
    static constexpr double kPhasePerBit = 100.0;
    // A level change with the phase at or before kEarlyPhase moves it on
    // by kNudge, one at or after kLatePhase moves it back: a change belongs
    // at the bit's edge, half a bit from the sampling instant at 100.
    static constexpr double kNudge = 10.0;
    static constexpr double kEarlyPhase = 48.0;
    static constexpr double kLatePhase = 52.0;

    explicit BitClock(Next& next, const BitClockState& state = {}) : BitClockState(state), next_(next) {}

    // kPhasePerBit / samplesPerBit as a double division (100/3 is not exact).
    void SetSamplesPerBit(std::int32_t samplesPerBit) { phaseIncrement = kPhasePerBit / samplesPerBit; }

    void ClockSample(std::int32_t bit)
    {
        if (bit != previousSampleBit) {
            if (clockPhase <= kEarlyPhase) clockPhase += kNudge;
            // Tests what the line above left: 42..52 is not moved at all.
            if (clockPhase >= kLatePhase) clockPhase -= kNudge;
        }
        clockPhase += phaseIncrement;
        previousSampleBit = bit;
        if (clockPhase >= kPhasePerBit) {
            clockPhase -= kPhasePerBit;
            next_.DecodeBit(bit);
        }
    }

private:
    Next& next_;
};
