// The delivered frame layout (red-green-blue, top row first, unpadded) from
// Qt pictures and its reduction, and filling a frame from a camera picture.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <QColor>
#include <QImage>

#include "frame_layout.hpp"
#include "tx/frame_reduction.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(QtCaptureFrameLayout, WritesRowsTopDownAsRgbWithoutPadding)
{
    // Three RGB888 pixels are 9 bytes; Qt pads each scan line to 12.
    QImage image(3, 2, QImage::Format_RGB888);
    ASSERT_GT(image.bytesPerLine(), 9);
    for (int x = 0; x < 3; ++x) {
        image.setPixel(x, 0, qRgb(10 + x, 20 + x, 30 + x));
        image.setPixel(x, 1, qRgb(40 + x, 50 + x, 60 + x));
    }
    const Bytes expected = {10, 20, 30, 11, 21, 31, 12, 22, 32, 40, 50, 60, 41, 51, 61, 42, 52, 62};
    Bytes frame;
    ASSERT_EQ(ToFrameLayout(image, frame), 18u);
    EXPECT_EQ(frame, expected);

    Bytes fromArgb;
    ToFrameLayout(image.convertToFormat(QImage::Format_ARGB32), fromArgb);
    EXPECT_EQ(fromArgb, expected);
}

// A camera picture through the frame layout and the reduction: each value is
// the truncated mean of the truncated greys of its 2 x 2 block, in place.
TEST(QtCaptureFrameLayout, ACameraPictureReducesToItsGreyBlocksInAKeptBuffer)
{
    QImage image(160, 120, QImage::Format_RGB888);
    image.fill(QColor(1, 2, 3));  // grey 1
    // Top left: greys 76, 149, 29 and 255, mean 127.
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    // Top right: blue, grey 29.
    for (int x = 158; x < 160; ++x)
        for (int y = 0; y < 2; ++y) image.setPixel(x, y, qRgb(0, 0, 255));
    // Bottom right: greys 124, 124, 124 and 18, mean 97.
    for (int x = 158; x < 160; ++x)
        for (int y = 118; y < 120; ++y) image.setPixel(x, y, qRgb(200, 100, 50));
    image.setPixel(159, 119, qRgb(10, 20, 30));

    Bytes frame;
    ASSERT_EQ(ToFrameLayout(image, frame), kFrameBytes);
    Picture picture;
    ReduceFrame(frame.data(), picture);
    for (int r = 0; r < kPictureHeight; ++r)
        for (int c = 0; c < kPictureWidth; ++c) {
            const int expected = r == 0 && c == 0 ? 127 : r == 0 && c == 79 ? 29 : r == 59 && c == 79 ? 97 : 1;
            ASSERT_EQ(picture[r][c], expected) << r << "," << c;
        }

    const std::uint8_t* buffer = frame.data();
    ToFrameLayout(image, frame);
    EXPECT_EQ(frame.data(), buffer);
}

TEST(QtCaptureFrameLayout, FillingAFrameCutsTheSidesOfAWiderPicture)
{
    // 16:9 into 4:3: an eighth of the width goes at each side.
    QImage wide(320, 180, QImage::Format_ARGB32);
    wide.fill(Qt::blue);
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 20; ++x) wide.setPixel(x, y, qRgb(255, 0, 0));
    const QImage fitted = FitToFrame(wide, QSize(160, 120));
    ASSERT_EQ(fitted.size(), QSize(160, 120));
    EXPECT_EQ(fitted.format(), QImage::Format_RGB888);
    EXPECT_EQ(fitted.pixelColor(0, 60), QColor(Qt::blue));
    EXPECT_TRUE(FitToFrame(QImage(), QSize(160, 120)).isNull());
}

}  // namespace
