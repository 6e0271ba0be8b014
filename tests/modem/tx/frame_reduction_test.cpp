// Reduction of a 160 x 120 red-green-blue, top-down frame to the grey Picture.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "tx/frame_reduction.hpp"

namespace {

using Frame = std::vector<std::uint8_t>;

void SetPixel(Frame& frame, int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    std::uint8_t* pixel = frame.data() + kFrameStride * y + kFrameBytesPerPixel * x;
    pixel[0] = red;
    pixel[1] = green;
    pixel[2] = blue;
}

// Picture row r as one value, or -1 when its bytes differ.
std::vector<int> RowValues(const Frame& frame)
{
    Picture picture;
    for (PictureLine& line : picture) line.fill(0xA5);  // every byte must be written
    ReduceFrame(frame.data(), picture);
    std::vector<int> rows;
    for (const PictureLine& line : picture)
        rows.push_back(std::count(line.begin(), line.end(), line[0]) == kPictureWidth ? line[0] : -1);
    return rows;
}

}  // namespace

// Uniform frames stay uniform; the first frame rows are the picture's top.
TEST(FrameReduction, UniformFramesAndOrientation)
{
    EXPECT_EQ(RowValues(Frame(kFrameBytes, 255)), std::vector<int>(60, 255));
    EXPECT_EQ(RowValues(Frame(kFrameBytes, 0)), std::vector<int>(60, 0));
    EXPECT_EQ(RowValues(Frame(kFrameBytes, 128)), std::vector<int>(60, 127));  // neutral 128 rounds down

    Frame frame(kFrameBytes, 0);
    std::fill(frame.begin(), frame.begin() + 2 * kFrameStride, 255);
    std::vector<int> expected(60, 0);
    expected[0] = 255;
    EXPECT_EQ(RowValues(frame), expected);
}

// In doubles the weights do not sum to exactly 1, and truncation makes some
// neutral greys come out one lower.
TEST(FrameReduction, NeutralGreysTruncate)
{
    int lower = 0;
    for (int v = 0; v < 256; ++v) {
        const auto u = static_cast<std::uint8_t>(v);
        const int grey = GreyOf(u, u, u);
        EXPECT_TRUE(grey == v || grey == v - 1) << v;
        lower += grey == v - 1;
    }
    EXPECT_EQ(lower, 65);
    const std::pair<int, int> cases[] = {{0, 0},     {1, 0},     {2, 1},     {3, 3},     {4, 3},
                                         {100, 100}, {128, 127}, {200, 200}, {254, 253}, {255, 255}};
    for (auto [in, out] : cases) EXPECT_EQ(GreyOf(in, in, in), out) << in;
}

// Pure colours read through the frame check the red-green-blue byte order;
// outside the frame the grey is 0 and the frame is not read at all.
TEST(FrameReduction, PixelGrey)
{
    Frame frame(kFrameBytes, 0);
    SetPixel(frame, 3, 5, 255, 0, 0);
    SetPixel(frame, 4, 5, 0, 255, 0);
    SetPixel(frame, 159, 119, 0, 0, 255);
    EXPECT_EQ(PixelGrey(frame.data(), 3, 5), 76);
    EXPECT_EQ(PixelGrey(frame.data(), 4, 5), 149);
    EXPECT_EQ(PixelGrey(frame.data(), 159, 119), 29);

    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const std::pair<std::int32_t, std::int32_t> outside[] = {{160, 0}, {0, 120}, {-1, 0}, {0, -1}, {kMin, kMin}};
    for (auto [x, y] : outside) EXPECT_EQ(PixelGrey(nullptr, x, y), 0) << x << "," << y;
}

// Block means truncate (1019 / 4 is 254), and picture row r, column c comes
// from columns 2c, 2c+1 of frame rows 2r, 2r+1.
TEST(FrameReduction, BlockAverageAndPlacement)
{
    ASSERT_EQ(GreyOf(255, 255, 254), 254);
    Frame frame(kFrameBytes, 255);
    SetPixel(frame, 2 * 7 + 1, 2 * 10 + 1, 255, 255, 254);
    Picture picture;
    ReduceFrame(frame.data(), picture);
    for (int r = 0; r < kPictureHeight; ++r)
        for (int c = 0; c < kPictureWidth; ++c)
            EXPECT_EQ(picture[r][c], r == 10 && c == 7 ? 254 : 255) << r << "," << c;
}
