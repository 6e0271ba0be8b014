// Sample shapes of the waveform synthesiser at each bit rate.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "tx/waveform_synth.hpp"

namespace {

// Renders bits at the current setting and returns the samples written.
std::vector<std::uint8_t> Render(WaveformSynth& synth, std::initializer_list<std::uint32_t> bits)
{
    std::array<std::uint8_t, 64> buffer{};
    synth.SetWriteCursor(buffer.data());
    for (std::uint32_t bit : bits) synth.RenderBit(bit);
    return {buffer.data(), synth.WriteCursor()};
}

}  // namespace

// What every shape must do, whatever its samples: a steady 1 sits at the
// low level 78 and a steady 0 at the high level 178, a change of bit ends
// at (or, at 2 samples per bit, beyond) the new level, a rise mirrors a fall
// about 128, and each bit is samplesPerBit samples long.
TEST(WaveformSynth, ShapesHoldTheLevelsAndMirrorEachOtherAtEachSetting)
{
    for (std::int32_t n : {4, 3, 2}) {
        SCOPED_TRACE(n);
        SamplesPerBit samplesPerBit{n};
        WaveformSynth synth(samplesPerBit);
        // From a previous 0: fall, stay low, rise, stay high, fall.
        const std::vector<std::uint8_t> samples = Render(synth, {1, 1, 0, 0, 0x80000000u});
        ASSERT_EQ(samples.size(), 5u * static_cast<std::size_t>(n));
        const auto bit = [&](int k) { return std::vector<std::uint8_t>(samples.begin() + k * n, samples.begin() + (k + 1) * n); };
        const std::vector<std::uint8_t> fall = bit(0), low = bit(1), rise = bit(2), high = bit(3);
        EXPECT_EQ(low, std::vector<std::uint8_t>(n, 78));
        EXPECT_EQ(high, std::vector<std::uint8_t>(n, 178));
        EXPECT_LE(fall.back(), 78);
        EXPECT_GE(rise.back(), 178);
        EXPECT_LT(fall.front(), 178);
        for (int i = 0; i < n; ++i) EXPECT_EQ(fall[i] + rise[i], 256) << i;
        // Any non-zero argument is bit 1.
        EXPECT_EQ(bit(4), fall);
        EXPECT_EQ(synth.previousChannelBit, 1u);
    }
}

// The previous bit carries over a change of setting, and each bit is
// rendered entirely at the setting in force when it starts.
TEST(WaveformSynth, PreviousBitSurvivesSettingChange)
{
    SamplesPerBit samplesPerBit{4};
    WaveformSynth synth(samplesPerBit);
    Render(synth, {1});
    samplesPerBit = 2;
    const std::vector<std::uint8_t> rise = Render(synth, {0});
    ASSERT_EQ(rise.size(), 2u);
    EXPECT_GT(rise.front(), 128);
    samplesPerBit = 3;
    EXPECT_EQ(Render(synth, {0}), (std::vector<std::uint8_t>{178, 178, 178}));
}
