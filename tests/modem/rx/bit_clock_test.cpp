// Bit clock: which samples hand a bit on, the nudge at level changes, the
// increment per setting.

#include <gtest/gtest.h>

#include <algorithm>
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

// Whatever the phase it starts at, and with the sender's clock 1.25 % slow
// or fast (every 20th bit a sample longer or shorter), the nudges at level
// changes keep the clock sampling each bit away from its edges, so it hands
// on exactly the bits sent, one per bit.
TEST(BitClock, LocksOntoTheBitsFromAnyStartingPhaseAndFollowsAClockOffset)
{
    std::vector<std::int32_t> sent;
    for (std::uint32_t x = 1; sent.size() < 400; x = x * 1103515245u + 12345u) sent.push_back((x >> 16) & 1);
    for (int everyTwentieth : {5, 3}) {
        for (double start = 0; start < 100; start += 7) {
            SCOPED_TRACE(testing::Message() << everyTwentieth << " samples every 20th bit, from phase " << start);
            HandedBits out;
            Clock clock(out);
            clock.clockPhase = start;
            for (std::size_t k = 0; k < sent.size(); ++k)
                for (int i = 0; i < (k % 20 == 19 ? everyTwentieth : 4); ++i) clock.ClockSample(sent[k]);
            // After 40 bits to settle in, the bits sent in order, one each;
            // which bit comes first depends only on the start.
            ASSERT_NEAR(static_cast<double>(out.bits.size()), static_cast<double>(sent.size()), 1.0);
            const auto inStepWith = [&](long shift) {
                for (std::size_t m = 40; m < out.bits.size(); ++m) {
                    const long k = static_cast<long>(m) + shift;
                    if (k < 0 || k >= static_cast<long>(sent.size()) || out.bits[m] != sent[k]) return false;
                }
                return true;
            };
            EXPECT_TRUE(inStepWith(-1) || inStepWith(0) || inStepWith(1));
        }
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
