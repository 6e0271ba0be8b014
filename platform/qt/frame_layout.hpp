#pragma once
// Pictures as the capture platform hands them on: 24-bit red-green-blue,
// top row first, rows without padding.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QImage>
#include <QSize>

// Writes image (top row first, any format; converted to RGB888 if needed)
// into frame in the delivered layout. frame is resized to the picture, so a
// buffer kept from a frame of the same size is reused without allocating.
// Returns the byte count, width * height * 3.
std::size_t ToFrameLayout(const QImage& image, std::vector<std::uint8_t>& frame);

// image scaled to fill size exactly, as RGB888: of a picture with other
// proportions the middle is kept and the overhanging edges are cut off.
QImage FitToFrame(const QImage& image, QSize size);
