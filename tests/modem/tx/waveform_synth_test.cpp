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

// The bits 0, 1, 1, 0 from a fresh synthesiser exercise all four transitions,
// the first bit being shaped against a previous bit of 0.
TEST(WaveformSynth, ShapesEveryTransitionAtEachSetting)
{
    struct Case {
        std::int32_t samplesPerBit;
        std::vector<std::uint8_t> samples;
    };
    const Case cases[] = {
        {4, {178, 178, 178, 178, 108, 88, 78, 78, 78, 78, 78, 78, 148, 168, 178, 178}},
        {3, {178, 178, 178, 128, 98, 78, 78, 78, 78, 128, 158, 178}},
        {2, {178, 178, 78, 68, 78, 78, 178, 188}},
    };
    for (const Case& c : cases) {
        SamplesPerBit samplesPerBit{c.samplesPerBit};
        WaveformSynth synth(samplesPerBit);
        EXPECT_EQ(Render(synth, {0, 1, 1, 0}), c.samples) << c.samplesPerBit << " samples per bit";
        EXPECT_EQ(synth.previousChannelBit, 0u);
    }
}

// The previous bit carries over a change of setting, and each bit is rendered
// entirely at the setting in force when it starts.
TEST(WaveformSynth, PreviousBitSurvivesSettingChange)
{
    SamplesPerBit samplesPerBit{4};
    WaveformSynth synth(samplesPerBit);
    EXPECT_EQ(Render(synth, {0, 1}), (std::vector<std::uint8_t>{178, 178, 178, 178, 108, 88, 78, 78}));

    samplesPerBit = 2;
    EXPECT_EQ(Render(synth, {0, 0}), (std::vector<std::uint8_t>{178, 188, 178, 178}));

    samplesPerBit = 3;
    EXPECT_EQ(Render(synth, {1}), (std::vector<std::uint8_t>{128, 98, 78}));
}

// Any non-zero argument is channel bit 1 and is remembered as 1.
TEST(WaveformSynth, NonZeroArgumentIsBitOne)
{
    SamplesPerBit samplesPerBit{4};
    WaveformSynth synth(samplesPerBit);
    EXPECT_EQ(Render(synth, {0x80000000u}), (std::vector<std::uint8_t>{108, 88, 78, 78}));
    EXPECT_EQ(synth.previousChannelBit, 1u);
    EXPECT_EQ(Render(synth, {2, 0}), (std::vector<std::uint8_t>{78, 78, 78, 78, 148, 168, 178, 178}));
}
