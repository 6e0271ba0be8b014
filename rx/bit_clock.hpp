#pragma once
// Bit timing from the sliced samples: a phase accumulator over 0..100 per
// bit period, nudged by 10 toward the middle at every level change; each
// time it passes 100 the current sample's bit goes to Next::DecodeBit.

#include <cstdint>

#include "rx/frame_decoder.hpp"

struct BitClockState {
    double clockPhase = 0.0;
    double phaseIncrement = 25.0;
    std::int32_t previousSampleBit = 0;

    bool operator==(const BitClockState&) const = default;
};

template <class Next = FrameDecoder<>>
class BitClock : public BitClockState {
public:
    explicit BitClock(Next& next, const BitClockState& state = {}) : BitClockState(state), next_(next) {}

    // 100.0 / samplesPerBit as a double division (100/3 is not exact).
    void SetSamplesPerBit(std::int32_t samplesPerBit) { phaseIncrement = 100.0 / samplesPerBit; }

    void ClockSample(std::int32_t bit)
    {
        if (bit != previousSampleBit) {
            if (clockPhase <= 48.0) clockPhase += 10.0;
            // Tests what the line above left: 42..52 is not moved at all.
            if (clockPhase >= 52.0) clockPhase -= 10.0;
        }
        clockPhase += phaseIncrement;
        previousSampleBit = bit;
        if (clockPhase >= 100.0) {
            clockPhase -= 100.0;
            next_.DecodeBit(bit);
        }
    }

private:
    Next& next_;
};
