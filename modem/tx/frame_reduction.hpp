#pragma once
// A 160 x 120 capture frame (24-bit red-green-blue, top row first, 480
// bytes a row) reduced to an 80 x 60 grey Picture.

#include <cstddef>
#include <cstdint>

#include "common/picture.hpp"

constexpr int kFrameWidth = 160;
constexpr int kFrameHeight = 120;
constexpr int kFrameBytesPerPixel = 3;
// Bytes from one buffer row to the next.
constexpr int kFrameStride = kFrameWidth * kFrameBytesPerPixel;
constexpr std::size_t kFrameBytes = static_cast<std::size_t>(kFrameStride) * kFrameHeight;

// BT.601 luma, (0.299 r + 0.587 g) + 0.114 b in doubles, truncated.
std::uint8_t GreyOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// Grey of the pixel at column x, row y (0 is the top of the image); 0 for
// any position outside the frame, which is then not read.
std::uint8_t PixelGrey(const std::uint8_t* frame, std::int32_t x, std::int32_t y);

// Each picture byte is the truncated mean of the greys of one 2 x 2 block.
void ReduceFrame(const std::uint8_t* frame, Picture& picture);
