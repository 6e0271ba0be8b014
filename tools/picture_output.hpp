#pragma once
// Received pictures written as 8-bit grey PNG or binary PGM files.

#include <string>

#include "common/picture.hpp"

enum class PictureFormat { Png, Pgm };

// Writes path (its bytes as the file system takes them) whole or not at all:
// false with a reason in error when it cannot be written, and then nothing
// is left of the attempt.
bool WritePicture(const Picture& picture, const std::string& path, PictureFormat format, std::string& error);
