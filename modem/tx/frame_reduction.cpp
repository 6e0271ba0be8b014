#include "tx/frame_reduction.hpp"

std::uint8_t GreyOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    const double s = (0.299 * red + 0.587 * green) + 0.114 * blue;
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(s));
}

std::uint8_t PixelGrey(const std::uint8_t* frame, std::int32_t x, std::int32_t y)
{
    if (x < 0 || y < 0 || x >= kFrameWidth || y >= kFrameHeight) return 0;
    const std::uint8_t* pixel = frame + kFrameStride * y + kFrameBytesPerPixel * x;
    return GreyOf(pixel[0], pixel[1], pixel[2]);
}

void ReduceFrame(const std::uint8_t* frame, Picture& picture)
{
    for (int c = 0; c < kPictureWidth; ++c) {
        for (int y = 0; y < kFrameHeight; y += 2) {
            const int sum = PixelGrey(frame, 2 * c, y) + PixelGrey(frame, 2 * c + 1, y) +
                            PixelGrey(frame, 2 * c, y + 1) + PixelGrey(frame, 2 * c + 1, y + 1);
            picture[y / 2][c] = static_cast<std::uint8_t>(sum / 4);
        }
    }
}
