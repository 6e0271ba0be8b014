// Bit clock: which samples hand a bit on, the nudge at level changes, the
// increment per setting.

#include <gtest/gtest.h>

#include <vector>

#include "rx/bit_clock.hpp"

namespace {

struct HandedBits {
    std::vector<std::int32_t> bits;
    void DecodeBit(std::int32_t bit) { bits.push_back(bit); }
};
using Clock = BitClock<HandedBits>;

// Whether each of count samples of one level handed a bit on.
std::vector<bool> HandOffs(Clock& clock, HandedBits& out, std::int32_t bit, int count)
{
    std::vector<bool> handed;
    for (int i = 0; i < count; ++i) {
        const std::size_t before = out.bits.size();
        clock.ClockSample(bit);
        handed.push_back(out.bits.size() != before);
    }
    return handed;
}

std::vector<bool> EveryNth(int n, int count)
{
    std::vector<bool> handed(count);
    for (int i = n - 1; i < count; i += n) handed[i] = true;
    return handed;
}

TEST(BitClock, RunsFreeBetweenLevelChanges)
{
    // A first sample of 1 is a change (0 nudged to 10, then +25); bits then
    // go on at the 4th, 8th, ... sample, each the steady 1.
    HandedBits out;
    Clock clock(out);
    clock.ClockSample(1);
    EXPECT_EQ(clock.clockPhase, 35.0);
    std::vector<bool> handed = HandOffs(clock, out, 1, 399);
    handed.insert(handed.begin(), false);
    EXPECT_EQ(handed, EveryNth(4, 400));
    EXPECT_EQ(out.bits, std::vector<std::int32_t>(100, 1));

    // At 2 and 3 indefinitely: three increments of 100/3 make exactly 100.
    for (std::int32_t samplesPerBit : {2, 3}) {
        Clock other(out);
        other.SetSamplesPerBit(samplesPerBit);
        EXPECT_EQ(HandOffs(other, out, 0, 300000), EveryNth(samplesPerBit, 300000)) << samplesPerBit;
        EXPECT_EQ(other.clockPhase, 0.0) << samplesPerBit;
    }
}

TEST(BitClock, LevelChangeNudgesTowardTheMiddle)
{
    // Phase before the change, and after the nudge (before the increment of 25).
    const double table[][2] = {{38, 48}, {41, 51}, {42, 42}, {45, 45}, {48, 48},
                               {50, 50}, {51.5, 51.5}, {52, 42}, {70, 60}};
    for (const auto& [before, after] : table) {
        HandedBits out;
        Clock clock(out);
        clock.clockPhase = before;
        clock.ClockSample(1);
        EXPECT_EQ(clock.clockPhase, after + 25.0) << before;
        clock.clockPhase = before;
        clock.ClockSample(1);  // no change, no nudge
        EXPECT_EQ(clock.clockPhase, before + 25.0) << before;
    }
}

TEST(BitClock, HandsOnTheCurrentSamplesBit)
{
    for (std::int32_t bit : {0, 1}) {
        HandedBits out;
        Clock clock(out);
        clock.previousSampleBit = 1 - bit;
        clock.clockPhase = 90.0;  // nudged to 80, then past 100
        clock.ClockSample(bit);
        EXPECT_EQ(out.bits, std::vector<std::int32_t>{bit});
        EXPECT_EQ(clock.clockPhase, 5.0);
    }
}

TEST(BitClock, SettingChangesOnlyTheIncrement)
{
    HandedBits out;
    Clock clock(out);
    clock.ClockSample(0);
    clock.SetSamplesPerBit(3);
    EXPECT_EQ(clock.phaseIncrement, 33.333333333333336);
    EXPECT_EQ(clock.clockPhase, 25.0);
    clock.ClockSample(0);
    EXPECT_EQ(clock.clockPhase, 25.0 + 33.333333333333336);
    clock.SetSamplesPerBit(2);
    EXPECT_EQ(clock.phaseIncrement, 50.0);
    clock.SetSamplesPerBit(4);
    EXPECT_EQ(clock.phaseIncrement, 25.0);
}

}  // namespace
