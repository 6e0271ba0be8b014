// Transmitter samples through the receiver: recovered channel bits and
// delivered picture rows at every bit rate, with either polarity.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <vector>

#include "rx/receive_chain.hpp"
#include "tx/transmit_chain.hpp"
#include "support/line_recorder.hpp"

namespace {

Picture RandomPicture(std::mt19937& random)
{
    std::uniform_int_distribution<int> value(0, 255);
    Picture picture{};
    for (PictureLine& line : picture)
        for (std::uint8_t& v : line) v = static_cast<std::uint8_t>(value(random));
    return picture;
}

PictureLine AsSent(PictureLine line)  // 255 never goes on the air
{
    std::replace(line.begin(), line.end(), std::uint8_t{255}, std::uint8_t{254});
    return line;
}

struct Transmission {
    std::int32_t samplesPerBit;
    Picture picture;
    std::vector<std::uint8_t> samples;
};

// One transmit chain for all, so each continues the scrambler stream of the last.
void Encode(std::vector<Transmission>& transmissions, bool inverted)
{
    SamplesPerBit setting{kInitialSamplesPerBit};
    TransmitChain chain(setting);
    std::vector<std::uint8_t> buffer(kMaxTransmissionSamples);
    for (Transmission& t : transmissions) {
        setting = t.samplesPerBit;
        t.samples.assign(buffer.begin(), buffer.begin() + EncodeTransmission(chain, t.picture, buffer.data()));
        if (inverted) std::ranges::transform(t.samples, t.samples.begin(), [](std::uint8_t s) { return 255 - s; });
    }
}

// Polls of random size, empty ones included, with the transmission's setting.
void Receive(ReceiveChain<LineRecorder>& receiver, const std::vector<Transmission>& transmissions, std::mt19937& random)
{
    std::uniform_int_distribution<std::size_t> pollSize(0, 9000);
    for (const Transmission& t : transmissions) {
        const std::span<const std::uint8_t> samples(t.samples);
        for (std::size_t at = 0, n = 0; at < samples.size(); at += n) {
            n = std::min(pollSize(random), samples.size() - at);
            receiver.SetSamplesPerBit(t.samplesPerBit);
            receiver.Receive(samples.subspan(at, n));
        }
    }
}

TEST(RoundTrip, TransmissionsDeliverTheirRowsAtEveryRateAndPolarity)
{
    std::mt19937 random(2024);
    const std::vector<std::vector<std::int32_t>> rateSequences{{4, 4, 4}, {3, 3, 3}, {2, 2, 2}, {4, 3, 2, 4}};
    for (const std::vector<std::int32_t>& rates : rateSequences) {
        std::vector<Transmission> transmissions;
        for (std::int32_t samplesPerBit : rates) transmissions.push_back({samplesPerBit, RandomPicture(random), {}});
        const bool oneRate = std::ranges::count(rates, rates.front()) == std::ssize(rates);
        for (bool inverted : {false, true}) {
            Encode(transmissions, inverted);
            LineRecorder sink;
            ReceiveChain<LineRecorder> receiver(sink);
            Receive(receiver, transmissions, random);
            const std::vector<PictureLine>& lines = sink.lines;
            SCOPED_TRACE(testing::Message() << "rates from " << rates.front() << ", inverted " << inverted);

            // Rows 0 to 58 of every transmission arrive as one block, in order.
            auto next = lines.begin();
            for (const Transmission& t : transmissions) {
                next = std::find(next, lines.end(), AsSent(t.picture[0]));
                ASSERT_GE(lines.end() - next, kPictureHeight - 1);
                for (int row = 0; row < kPictureHeight - 1; ++row, ++next) ASSERT_EQ(*next, AsSent(t.picture[row])) << row;
            }
            // At one rate the next transmission's first bits complete row 59
            // too; only the last one stays pending. A rate change under that
            // tail may spoil it.
            if (!oneRate) continue;
            ASSERT_EQ(lines.size(), rates.size() * kPictureHeight - 1);
            for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], AsSent(transmissions[i / 60].picture[i % 60])) << i;
            EXPECT_EQ(sink.resetsAfter, (std::vector<std::size_t>{60, 120}));
        }
    }
}

struct InvertedChannelBits {
    std::vector<std::int32_t> bits;
    void RenderBit(std::uint32_t bit) { bits.push_back(bit != 0 ? 0 : 1); }
};
struct HandedBits {
    std::vector<std::int32_t> bits;
    void DecodeBit(std::int32_t bit) { bits.push_back(bit); }
};

TEST(RoundTrip, BitClockRecoversTheInverseOfEveryChannelBit)
{
    std::mt19937 random(5);
    const Picture picture = RandomPicture(random);
    // From the same fresh state the encoder's channel bits are those rendered.
    InvertedChannelBits expected;
    FrameEncoder<InvertedChannelBits> encoder(expected);
    encoder.SendPreamble();
    for (const PictureLine& line : picture) encoder.SendLinePacket(line);

    for (std::int32_t samplesPerBit : {4, 3, 2}) {
        std::vector<Transmission> transmission{{samplesPerBit, picture, {}}};
        Encode(transmission, false);
        for (double startPhase : {0.0, 30.0, 60.0, 90.0}) {
            HandedBits out;
            BitClock<HandedBits> clock(out);
            LevelTracker<BitClock<HandedBits>> tracker(clock);
            clock.SetSamplesPerBit(samplesPerBit);
            clock.clockPhase = startPhase;
            for (std::uint8_t s : transmission[0].samples) tracker.TrackSample(s);

            // One bit per channel bit within the first hundred, and from then
            // on each the inverse: the slicer maps the high level (0) to 1.
            const std::size_t settled = expected.bits.size() - 100;
            ASSERT_GE(out.bits.size(), settled);
            EXPECT_LE(out.bits.size(), expected.bits.size() + 1);
            EXPECT_TRUE(std::equal(out.bits.rbegin(), out.bits.rbegin() + settled, expected.bits.rbegin()))
                << "rate " << samplesPerBit << ", phase " << startPhase;
        }
    }
}

}  // namespace
