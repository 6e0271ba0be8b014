// Finding each transmission's bit rate from its preamble, through the
// simulated radio channel, and never in noise.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <vector>

#include "channel_sim.hpp"
#include "rx/auto_rate.hpp"
#include "rx/rate_finder.hpp"
#include "sample_input.hpp"
#include "tx/transmit_chain.hpp"

namespace {

constexpr int kPictures = 3;

// Random pictures back to back at one rate, after a little silence; where
// each transmission starts is kept.
std::vector<std::uint8_t> Transmissions(std::int32_t samplesPerBit, std::vector<std::int64_t>& starts)
{
    std::mt19937 random(static_cast<unsigned>(samplesPerBit));
    SamplesPerBit setting{samplesPerBit};
    TransmitChain chain(setting);
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    std::vector<std::uint8_t> samples(3000, kZeroLevel);
    for (int i = 0; i < kPictures; ++i) {
        Picture picture;
        for (PictureLine& line : picture)
            for (std::uint8_t& value : line) value = static_cast<std::uint8_t>(random());
        starts.push_back(static_cast<std::int64_t>(samples.size()));
        const std::size_t n = EncodeTransmission(chain, picture, buffer.data());
        samples.insert(samples.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return samples;
}

// The channels a sound card meets, each at every rate: one preamble found
// for each transmission, at its rate, its window within the flags, whether
// the samples come whole or in odd chunks. A radio's voice band-pass needs
// the edge slicer (which finds most at 8250 bit/s too, and few at 11000).
TEST(RateFinder, FindsEachPreambleAtItsRate)
{
    struct Case {
        ChannelSettings channel;
        bool withEdges = false;
        std::int32_t fastest = 2;  // samples per bit
    };
    const Case cases[] = {
        {{}},
        {{.snrDb = 10.0}},
        {{.ppm = 5000.0, .samplingPhase = 0.5}},
        {{.ppm = -5000.0, .samplingPhase = 0.3}},
        {{.dcOffset = -40.0, .gain = 0.3, .inverted = true}},
        {{.snrDb = 20.0, .highPassHz = 100.0}},
        {{.snrDb = 10.0}, true},
        {{.snrDb = 25.0, .highPassHz = kVoiceHighPassHz, .lowPassHz = kVoiceLowPassHz}, true, 4},
    };
    for (const std::int32_t samplesPerBit : RateFinder::kRates) {
        std::vector<std::int64_t> starts;
        const std::vector<std::uint8_t> sent = Transmissions(samplesPerBit, starts);
        for (const auto& [channel, withEdges, fastest] : cases) {
            if (samplesPerBit < fastest) continue;
            SCOPED_TRACE(testing::Message() << samplesPerBit << " samples per bit, SNR " << channel.snrDb << " dB, "
                                            << channel.ppm << " ppm, high-pass " << channel.highPassHz << " Hz"
                                            << (withEdges ? ", with edges" : ""));
            const std::vector<std::uint8_t> received = PassThroughChannel(sent, channel, 3);
            RateFinder whole(withEdges);
            whole.Find(received);
            ASSERT_EQ(whole.found.size(), starts.size());
            for (std::size_t i = 0; i < starts.size(); ++i) {
                EXPECT_EQ(whole.found[i].samplesPerBit, samplesPerBit);
                // Within the 20 flags, give or take the words they begin in.
                const double start = static_cast<double>(starts[i]) * (1.0 + channel.ppm * 1e-6);
                EXPECT_GE(static_cast<double>(whole.found[i].windowStart), start - 128) << i;
                EXPECT_LE(static_cast<double>(whole.found[i].windowStart), start + 160.0 * samplesPerBit) << i;
            }
            RateFinder chunked(withEdges);
            std::mt19937 random(5);
            for (std::size_t at = 0, n = 0; at < received.size(); at += n) {
                n = std::min<std::size_t>(random() % 300, received.size() - at);
                chunked.Find(std::span(received).subspan(at, n));
            }
            ASSERT_EQ(chunked.found.size(), whole.found.size());
            for (std::size_t i = 0; i < whole.found.size(); ++i)
                EXPECT_EQ(chunked.found[i].windowStart, whole.found[i].windowStart);
        }
    }
}

// A quiet sound card's 16 bits through a radio's voice band: levelled for
// the finder, every preamble found at its rate and none at another (at
// 8250 bit/s the voice band leaves the finder one in six or so to miss).
TEST(RateFinder, FindsEachPreambleOfAQuietFullResolutionInput)
{
    struct Listener {
        void SetSamplesPerBit(std::int32_t) {}
        void Receive(std::span<const std::uint8_t>, std::span<const float>) {}
    };
    const ChannelSettings channel{.snrDb = 25.0, .gain = 0.0316, .highPassHz = kVoiceHighPassHz,
                                  .lowPassHz = kVoiceLowPassHz};
    for (const std::int32_t samplesPerBit : {4}) {
        std::vector<std::int64_t> starts;
        const std::vector<std::int16_t> wide = PassThroughChannel16(Transmissions(samplesPerBit, starts), channel, 3);
        std::vector<float> full(wide.size());
        std::vector<std::uint8_t> cut(wide.size());
        for (std::size_t i = 0; i < wide.size(); ++i) {
            full[i] = static_cast<float>(wide[i] / 32768.0);
            cut[i] = SampleToUnsigned8(full[i]);
        }
        Listener listener;
        AutoRate<Listener> input(listener, samplesPerBit, true, 0, true);
        input.Receive(cut, full);
        for (const std::int32_t rate : RateFinder::kRates)
            EXPECT_EQ(input.finder.Count(rate), rate == samplesPerBit ? 3 : 0) << samplesPerBit << " samples per bit";
    }
}

// Hiss as loud as a signal, silence, its 8-bit dither (triangular, a level
// either side) and hum: no rate at all.
TEST(RateFinder, FindsNothingInNoise)
{
    std::mt19937 random(11);
    std::normal_distribution<double> hiss(128.0, 30.0);
    std::vector<std::uint8_t> noise(60 * kSampleRate);
    for (std::uint8_t& sample : noise) sample = static_cast<std::uint8_t>(std::clamp(hiss(random), 0.0, 255.0));
    std::vector<std::uint8_t> hum(10 * kSampleRate);
    for (std::size_t i = 0; i < hum.size(); ++i)
        hum[i] = static_cast<std::uint8_t>(128.0 + 60.0 * std::sin(2.0 * M_PI * 50.0 * static_cast<double>(i) / kSampleRate));
    std::vector<std::uint8_t> silence(kSampleRate, kZeroLevel);
    std::uniform_real_distribution<double> half(-0.5, 0.5);
    std::vector<std::uint8_t> dither(10 * kSampleRate);
    for (std::uint8_t& sample : dither) sample = static_cast<std::uint8_t>(std::lround(128.0 + half(random) + half(random)));
    for (const std::vector<std::uint8_t>* samples : {&noise, &hum, &silence, &dither}) {
        for (const bool withEdges : {false, true}) {
            RateFinder finder(withEdges);
            finder.Find(*samples);
            EXPECT_TRUE(finder.found.empty()) << finder.found.front().samplesPerBit << (withEdges ? " with edges" : "");
        }
    }
}

}  // namespace
