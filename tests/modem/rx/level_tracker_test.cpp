// Level tracker: exact DC, peak and trough values, the read-out and slicing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/samples.hpp"
#include "rx/receive_chain.hpp"

namespace {

struct SlicedBits {
    std::vector<std::int32_t> bits;
    void ClockSample(std::int32_t bit) { bits.push_back(bit); }
};
using Tracker = LevelTracker<SlicedBits>;

std::string ReadOut(const Tracker& tracker) { return LevelLine(tracker); }

TEST(LevelTracker, FirstSampleFromTheInitialState)
{
    SlicedBits out;
    Tracker fresh(out), high(out), low(out), mid(out);
    EXPECT_EQ(ReadOut(fresh), "dc-offset 128, max 128, min 128");

    // (128 * 159 + 255) * 0.00625 rounds one step above 128.79375; a division
    // by 160 would land on it, and slicing depends on such steps.
    high.TrackSample(255);
    EXPECT_EQ(high.dcLevel, std::nextafter(128.79375, 256.0));
    EXPECT_EQ(high.peakLevel, 254.9);
    EXPECT_EQ(high.troughLevel, 128.1);
    EXPECT_EQ(ReadOut(high), "dc-offset 128, max 254, min 128");

    low.TrackSample(0);
    EXPECT_EQ(low.dcLevel, 127.2);
    EXPECT_EQ(low.peakLevel, 127.9);
    EXPECT_EQ(low.troughLevel, 0.1);
    EXPECT_EQ(ReadOut(low), "dc-offset 127, max 127, min   0");

    mid.TrackSample(128);
    EXPECT_EQ(mid.dcLevel, 128.0);
    EXPECT_EQ(out.bits, (std::vector<std::int32_t>{1, 0, 1}));
}

TEST(LevelTracker, SettlesOnASteadyInput)
{
    // From below the estimate stays under c + 1, so every sample slices to 1;
    // from above the first ones slice to 0 until it comes within 1 of c.
    for (std::int32_t level : {200, 50}) {
        SlicedBits out;
        Tracker tracker(out);
        for (int i = 0; i < kSampleRate; ++i) tracker.TrackSample(level);
        EXPECT_EQ(ReadOut(tracker), level == 200 ? "dc-offset 199, max 199, min 200" : "dc-offset  50, max  49, min  50");
        EXPECT_EQ(out.bits.front(), level == 200 ? 1 : 0);
        EXPECT_TRUE(std::is_sorted(out.bits.begin(), out.bits.end()) && out.bits.back() == 1) << level;
    }
    SlicedBits out;
    Tracker step(out);
    for (int i = 0; i < 682; ++i) step.TrackSample(200);
    EXPECT_EQ(step.sliceThreshold, 198);
    step.TrackSample(200);
    EXPECT_EQ(step.sliceThreshold, 199);
}

TEST(LevelTracker, SlicesAgainstTheThresholdThatIncludesTheSample)
{
    // From 100.5 the samples 100 and 99 both leave the threshold at 100:
    // equal slices to 1, below to 0. From 100.0 a 99 drops it to 99 first.
    struct Case {
        double dcBefore;
        std::int32_t sample, threshold, bit;
    };
    for (const Case& c : {Case{100.5, 100, 100, 1}, Case{100.5, 99, 100, 0}, Case{100.0, 99, 99, 1}}) {
        SlicedBits out;
        Tracker tracker(out);
        tracker.dcLevel = c.dcBefore;
        tracker.sliceThreshold = static_cast<std::int32_t>(c.dcBefore);
        tracker.TrackSample(c.sample);
        EXPECT_EQ(tracker.sliceThreshold, c.threshold) << c.dcBefore << " " << c.sample;
        EXPECT_EQ(out.bits, std::vector<std::int32_t>{c.bit}) << c.dcBefore << " " << c.sample;
    }
}

}  // namespace
