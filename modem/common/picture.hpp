#pragma once
// The grey picture that travels over the air, and its rows.

#include <array>
#include <cstddef>
#include <cstdint>

constexpr int kPictureWidth = 80;
constexpr int kPictureHeight = 60;

// One row, column 0 first: 0 is black, 255 white.
using PictureLine = std::array<std::uint8_t, kPictureWidth>;

// Row-major, top row first: picture[row][column].
using Picture = std::array<PictureLine, kPictureHeight>;

static_assert(sizeof(Picture) == 4800, "a Picture is 4800 contiguous bytes");
