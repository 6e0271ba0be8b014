// The delivered frame layout (blue-green-red, bottom row first, unpadded)
// from top-down Qt pictures, and filling a frame from a camera picture.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <QColor>
#include <QImage>

#include "frame_layout.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(QtCaptureFrameLayout, WritesRowsBottomUpAsBgrWithoutPadding)
{
    // Three RGB888 pixels are 9 bytes; Qt pads each scan line to 12.
    QImage image(3, 2, QImage::Format_RGB888);
    ASSERT_GT(image.bytesPerLine(), 9);
    for (int x = 0; x < 3; ++x) {
        image.setPixel(x, 0, qRgb(10 + x, 20 + x, 30 + x));
        image.setPixel(x, 1, qRgb(40 + x, 50 + x, 60 + x));
    }
    const Bytes expected = {60, 50, 40, 61, 51, 41, 62, 52, 42, 30, 20, 10, 31, 21, 11, 32, 22, 12};
    Bytes frame;
    ASSERT_EQ(ToFrameLayout(image, frame), 18u);
    EXPECT_EQ(frame, expected);

    Bytes fromArgb;
    ToFrameLayout(image.convertToFormat(QImage::Format_ARGB32), fromArgb);
    EXPECT_EQ(fromArgb, expected);
}

TEST(QtCaptureFrameLayout, TheTopLeftPixelLandsAtRow119Column0InAKeptBuffer)
{
    QImage image(160, 120, QImage::Format_RGB888);
    image.fill(QColor(1, 2, 3));
    image.setPixel(0, 0, qRgb(10, 20, 30));
    image.setPixel(159, 119, qRgb(40, 50, 60));
    Bytes frame;
    ASSERT_EQ(ToFrameLayout(image, frame), 57600u);
    const std::size_t row119 = 119 * 160 * 3;
    EXPECT_EQ(Bytes(frame.begin() + row119, frame.begin() + row119 + 6), (Bytes{30, 20, 10, 3, 2, 1}));
    EXPECT_EQ(Bytes(frame.begin() + 159 * 3, frame.begin() + 160 * 3), (Bytes{60, 50, 40}));

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
