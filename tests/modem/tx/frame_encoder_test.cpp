// The over-the-air bit format: flags, stuffing, NRZI, the scrambler, and
// whole transmissions as bits and as samples.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tx/frame_encoder.hpp"
#include "tx/transmit_chain.hpp"

namespace {

using Bits = std::vector<std::uint8_t>;

// Stands in for the synthesiser and keeps the channel bits.
struct BitRecorder {
    Bits bits;
    void RenderBit(std::uint32_t bit) { bits.push_back(static_cast<std::uint8_t>(bit)); }
};

// The receiver's descrambler from an all-zero history: channel bit n ^ bit
// n-12 ^ bit n-17 is the line level sent 18 bits earlier.
Bits Descramble(const Bits& c)
{
    Bits levels;
    for (std::size_t j = 0; j + 18 < c.size(); ++j) levels.push_back(c[j + 18] ^ c[j + 6] ^ c[j + 1]);
    return levels;
}

struct RecordingEncoder {
    BitRecorder recorder;
    FrameEncoder<BitRecorder> encoder{recorder};
    // Line levels so far; 18 more levels push the last ones out first.
    Bits Levels()
    {
        for (int i = 0; i < 18; ++i) encoder.ScrambleBit(0);
        return Descramble(recorder.bits);
    }
};

// NRZI decoding (a kept level is 1) and destuffing, from level 0.
Bits DataBits(const Bits& levels)
{
    Bits data;
    std::uint8_t previous = 0;
    int ones = 0;
    for (std::uint8_t level : levels) {
        const std::uint8_t bit = level == previous;
        previous = level;
        if (bit == 0 && ones == 5) {
            ones = 0;  // the stuffed 0
        } else {
            ones = bit != 0 ? ones + 1 : 0;
            data.push_back(bit);
        }
    }
    return data;
}

// What a transmission of picture should carry, bytes LSB first.
void AppendDataBits(const Picture& picture, Bits& data)
{
    auto byte = [&](int value) {
        for (int i = 0; i < 8; ++i) data.push_back((value >> i) & 1);
    };
    for (int i = 0; i < 20; ++i) byte(0x7E);
    byte(0xFF);
    for (const PictureLine& line : picture) {
        byte(0x7E);
        for (std::uint8_t value : line) byte(value == 255 ? 254 : value);
    }
}

// Picture whose byte at (r, c) is f(r, c).
template <class F>
Picture Make(F f)
{
    Picture picture;
    for (int r = 0; r < kPictureHeight; ++r)
        for (int c = 0; c < kPictureWidth; ++c) picture[r][c] = static_cast<std::uint8_t>(f(r, c));
    return picture;
}

const Picture kZeros = Make([](int, int) { return 0; });
const Picture kWhite = Make([](int, int) { return 255; });
// Five 1s as often as a row allows.
const Picture kMostStuffed = Make([](int, int c) {
    constexpr int kPattern[] = {223, 247, 191, 239, 127};
    return kPattern[c % 5];
});
// Every row different, 255s included, so that order and mapping both matter.
const Picture kVaried = Make([](int r, int c) { return r * 37 + c * 11; });

std::vector<std::uint8_t> Encode(TransmitChain& chain, const Picture& picture)
{
    std::vector<std::uint8_t> buffer(kSampleBufferSize);
    buffer.resize(EncodeTransmission(chain, picture, buffer.data()));
    return buffer;
}

}  // namespace

// The flag's six 1s pass unstuffed; the same octet as a byte gets a stuffed 0.
// The start byte carries exactly one, after its fifth 1.
TEST(FrameEncoder, FlagByteAndPreambleLineLevels)
{
    RecordingEncoder flag, byte, preamble;
    flag.encoder.SendFlag();
    byte.encoder.SendByte(0x7E);
    preamble.encoder.SendPreamble();
    EXPECT_EQ(flag.encoder.onesCount, 0);
    EXPECT_EQ(preamble.encoder.onesCount, 3);
    EXPECT_EQ(flag.Levels(), (Bits{1, 1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(byte.Levels(), (Bits{1, 1, 1, 1, 1, 1, 0, 0, 1}));
    const Bits levels = preamble.Levels();
    ASSERT_EQ(levels.size(), 169u);
    EXPECT_EQ(Bits(levels.end() - 9, levels.end()), (Bits{0, 0, 0, 0, 0, 1, 1, 1, 1}));
}

// A single line level 1 into an empty register: delayed by 18, then echoed by
// the feedback taps at 12 and 17.
TEST(FrameEncoder, ScramblerImpulseResponse)
{
    RecordingEncoder e;
    e.encoder.ScrambleBit(1);
    for (int i = 1; i < 80; ++i) e.encoder.ScrambleBit(0);
    std::vector<int> ones;
    for (std::size_t i = 0; i < e.recorder.bits.size(); ++i)
        if (e.recorder.bits[i] != 0) ones.push_back(static_cast<int>(i) + 1);
    EXPECT_EQ(ones, (std::vector<int>{19, 31, 36, 43, 53, 55, 60, 65, 67, 70, 79}));
}

TEST(FrameEncoder, FirstChannelBitsAfterStart)
{
    RecordingEncoder e;
    e.encoder.SendPreamble();
    std::string first;
    for (int i = 0; i < 48; ++i) first += static_cast<char>('0' + e.recorder.bits[i]);
    EXPECT_EQ(first, "000000000000000000111111101111000101101110100100");
}

// Fewest, all-254 and most channel bits; samples are bits x samples per bit.
TEST(FrameEncoder, TransmissionLengths)
{
    const std::pair<const Picture*, std::size_t> cases[] = {{&kZeros, 39049}, {&kWhite, 43849}, {&kMostStuffed, 45769}};
    for (auto [picture, bits] : cases) {
        for (std::int32_t spb : {4, 3, 2}) {
            SamplesPerBit samplesPerBit{spb};
            TransmitChain chain(samplesPerBit);
            EXPECT_EQ(Encode(chain, *picture).size(), bits * spb) << bits << " bits at " << spb;
        }
    }
}

// From start the first 18 channel bits are 0 (steady high) and the 19th falls.
// The encoder's state carries over: the same picture again has the same
// length but continues the scrambler stream.
TEST(FrameEncoder, StartAndCarryOver)
{
    SamplesPerBit samplesPerBit{4};
    TransmitChain chain(samplesPerBit);
    const std::vector<std::uint8_t> first = Encode(chain, kVaried);
    std::vector<std::uint8_t> expected(72, 178);
    for (std::uint8_t s : {108, 88, 78, 78}) expected.push_back(s);
    EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.begin() + 76), expected);

    const std::vector<std::uint8_t> second = Encode(chain, kVaried);
    EXPECT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
}

// 255 goes out as 254, so both pictures sound the same from the same state.
TEST(FrameEncoder, Byte255IsSentAs254)
{
    SamplesPerBit samplesPerBit{2};
    TransmitChain a(samplesPerBit), b(samplesPerBit);
    Encode(a, kVaried);
    Encode(b, kVaried);
    EXPECT_EQ(Encode(a, Make([](int, int) { return 254; })), Encode(b, kWhite));
}

// Two transmissions back to back, at different settings, decode to exactly
// the data sent; the tail of the first arrives only with the second. Each
// channel bit is read back from its last sample: below 128 is a 1.
TEST(FrameEncoder, SamplesDecodeBackToData)
{
    SamplesPerBit samplesPerBit{4};
    TransmitChain chain(samplesPerBit);
    Bits channel, expected;
    std::size_t firstBits = 0, firstData = 0;
    for (const Picture* picture : {&kVaried, &kMostStuffed}) {
        const std::vector<std::uint8_t> samples = Encode(chain, *picture);
        const std::size_t spb = samplesPerBit;
        for (std::size_t i = spb - 1; i < samples.size(); i += spb) channel.push_back(samples[i] < 128);
        AppendDataBits(*picture, expected);
        if (firstBits == 0) {
            firstBits = channel.size();
            firstData = expected.size();
        }
        samplesPerBit = 3;
    }
    const Bits firstOnly = DataBits(Descramble(Bits(channel.begin(), channel.begin() + firstBits)));
    const Bits both = DataBits(Descramble(channel));
    ASSERT_LT(firstOnly.size(), firstData);
    ASSERT_GT(both.size(), firstData);
    EXPECT_EQ(firstOnly, Bits(expected.begin(), expected.begin() + firstOnly.size()));
    EXPECT_EQ(both, Bits(expected.begin(), expected.begin() + both.size()));
}
