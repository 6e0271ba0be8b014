#pragma once
// Pictures from image files, reduced as the transmitter would reduce them.

#include <string>

#include "common/picture.hpp"

class QImage;

// 80 x 60: each pixel's grey value (as it stands for grey images, BT.601 for
// colour). 160 x 120: laid out as a capture frame and reduced. Any other
// size: scaled smoothly to cover 160 x 120, centre-cropped, then reduced.
Picture PictureFromImage(const QImage& image);

// Reads path into picture; false with a reason in error when it cannot.
bool LoadPicture(const std::string& path, Picture& picture, std::string& error);
