// Frame decoder: run lengths to data bits, flags, the start byte and line
// assembly, mostly fed with channel bits from the real encoder.

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

#include "rx/frame_decoder.hpp"
#include "tx/frame_encoder.hpp"
#include "support/line_recorder.hpp"

namespace {

// The encoder's channel bits, captured in place of the synthesiser.
struct ChannelStream {
    std::vector<std::int32_t> bits;
    FrameEncoder<ChannelStream> tx{*this};
    void RenderBit(std::uint32_t bit) { bits.push_back(static_cast<std::int32_t>(bit)); }
    void Packet(const PictureLine& line, int count = kPictureWidth, bool flag = true)
    {
        if (flag) tx.SendFlag();
        for (int i = 0; i < count; ++i) tx.SendByte(line[i]);
    }
    // One more change of level, then steady levels to push out the
    // scrambler's 18-bit delay; the final run never ends and adds nothing.
    void Finish()
    {
        tx.SendDataBit(0);
        for (int i = 0; i < 18; ++i) tx.ScrambleBit(tx.lineLevel);
    }
};

struct Receiver {
    LineRecorder sink;
    FrameDecoder<LineRecorder> decoder{sink};
    void Feed(const ChannelStream& stream)
    {
        for (std::int32_t bit : stream.bits) decoder.DecodeBit(bit);
    }
    void Levels(std::initializer_list<std::pair<std::int32_t, int>> runs)
    {
        for (auto [level, length] : runs)
            for (int i = 0; i < length; ++i) decoder.CountRun(level);
    }
};

PictureLine Line(int seed)  // never 255
{
    PictureLine line{};
    for (int i = 0; i < kPictureWidth; ++i) line[i] = static_cast<std::uint8_t>((seed * 37 + i * 11) % 255);
    return line;
}

TEST(FrameDecoder, RunLengthsBecomeDataBits)
{
    // Runs 3, 1, 2, 6, 4, 1, 1, 1 and a change: 110 0 10 11111 1110 0 0 0.
    Receiver rx;
    rx.Levels({{1, 3}, {0, 1}, {1, 2}, {0, 6}, {1, 4}, {0, 1}, {1, 1}, {0, 1}, {1, 1}});
    EXPECT_EQ(rx.decoder.lineColumn, 2);
    EXPECT_EQ(rx.decoder.lineBuffer[0], 211);
    EXPECT_EQ(rx.decoder.lineBuffer[1], 63);
    EXPECT_EQ(rx.decoder.bitCount, 2);

    // Runs of 8 and 12 add nothing and keep the partial "10"; six 0s then
    // complete the byte 1.
    Receiver other;
    other.Levels({{1, 2}, {0, 8}, {1, 12}, {0, 1}, {1, 1}, {0, 1}, {1, 1}, {0, 1}, {1, 1}, {0, 1}});
    EXPECT_EQ(other.decoder.lineColumn, 1);
    EXPECT_EQ(other.decoder.lineBuffer[0], 1);
}

TEST(FrameDecoder, FlagsAndTheStartByteRealign)
{
    // Three flags, the start byte, a flag, the bytes 1 and 2; the pending
    // line and count set here must be discarded.
    ChannelStream stream;
    for (int i = 0; i < 3; ++i) stream.tx.SendFlag();
    stream.Packet({255}, 1, false);
    stream.Packet({1, 2}, 2);
    stream.Finish();
    Receiver rx;
    rx.decoder.lineColumn = 50;
    rx.decoder.linesSinceStart = 7;
    rx.Feed(stream);
    EXPECT_EQ(rx.decoder.lineColumn, 2);
    EXPECT_EQ(rx.decoder.lineBuffer[0], 1);
    EXPECT_EQ(rx.decoder.lineBuffer[1], 2);
    EXPECT_EQ(rx.decoder.flagSeen, 0);
    EXPECT_EQ(rx.decoder.linesSinceStart, 0);

    // The flag stays in force after a start byte, so a second 255 is not
    // data; a flag in the middle of a byte discards the bits before it.
    ChannelStream more;
    more.Packet({255, 255, 7}, 3);
    for (std::uint32_t bit : {1u, 0u, 1u}) more.tx.SendDataBit(bit);
    more.Packet({5, 6}, 2);
    more.Finish();
    Receiver again;
    again.Feed(more);
    EXPECT_EQ(again.decoder.lineColumn, 3);
    EXPECT_EQ(again.decoder.lineBuffer[0], 7);
    EXPECT_EQ(again.decoder.lineBuffer[1], 5);
    EXPECT_EQ(again.decoder.lineBuffer[2], 6);
}

TEST(FrameDecoder, ShortAndLostPackets)
{
    const PictureLine a = Line(1), b = Line(2), c = Line(3);
    PictureLine joined = a;
    joined[78] = b[0];
    joined[79] = b[1];
    struct Case {
        int countA;
        bool flagB;
        std::vector<PictureLine> expected;
    };
    // A short line takes the next packet's first bytes and drops the rest;
    // without its flag a packet follows a complete line and is dropped.
    for (const Case& t : {Case{78, true, {joined, c}}, Case{80, false, {a, c}}}) {
        ChannelStream stream;
        stream.tx.SendPreamble();
        stream.Packet(a, t.countA);
        stream.Packet(b, kPictureWidth, t.flagB);
        stream.Packet(c);
        stream.tx.SendFlag();
        stream.Finish();
        Receiver rx;
        rx.Feed(stream);
        EXPECT_EQ(rx.sink.lines, t.expected) << t.countA;
    }
}

TEST(FrameDecoder, Byte255IsDataExceptRightAfterAFlag)
{
    PictureLine with255 = Line(0);
    with255[40] = 255;
    ChannelStream stream;
    stream.tx.SendPreamble();
    stream.Packet(with255);
    for (int row = 1; row < 30; ++row) stream.Packet(Line(row));
    stream.Packet(Line(99), 40);  // pending when the picture restarts
    stream.Packet({255}, 1);
    for (int row = 0; row < 130; ++row) stream.Packet(Line(100 + row));
    stream.Finish();
    Receiver rx;
    rx.Feed(stream);
    ASSERT_EQ(rx.sink.lines.size(), 160u);
    EXPECT_EQ(rx.sink.lines[0], with255);
    for (int row = 0; row < 130; ++row) EXPECT_EQ(rx.sink.lines[30 + row], Line(100 + row)) << row;
    // One realignment, 60 lines after the second start byte; none after the
    // 60th line overall nor after the 120th since the restart.
    EXPECT_EQ(rx.sink.resetsAfter, std::vector<std::size_t>{90});
}

TEST(FrameDecoder, NoiseKeepsCompletingLinesAndAPictureDecodesAfterIt)
{
    Receiver rx;
    std::mt19937 random(7);
    std::bernoulli_distribution coin;
    for (int i = 0; i < 1'000'000; ++i) rx.decoder.DecodeBit(coin(random) ? 1 : 0);
    const std::size_t noiseLines = rx.sink.lines.size();
    EXPECT_GT(noiseLines, 200u);  // about one per thousand bits
    EXPECT_LT(noiseLines, 5000u);

    ChannelStream stream;
    stream.tx.SendPreamble();
    for (int row = 0; row < kPictureHeight; ++row) stream.Packet(Line(row));
    stream.tx.SendFlag();
    stream.Finish();
    rx.Feed(stream);
    ASSERT_EQ(rx.sink.lines.size(), noiseLines + kPictureHeight);
    for (int row = 0; row < kPictureHeight; ++row) EXPECT_EQ(rx.sink.lines[noiseLines + row], Line(row)) << row;
    ASSERT_FALSE(rx.sink.resetsAfter.empty());
    EXPECT_EQ(rx.sink.resetsAfter.back(), rx.sink.lines.size());
}

}  // namespace
