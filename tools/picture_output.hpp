#pragma once
// Received pictures written as 8-bit grey PNG or binary PGM files.

#include <string>

#include "common/picture.hpp"

enum class PictureFormat { Png, Pgm };

// False with a reason in error when the file cannot be written.
bool WritePicture(const Picture& picture, const std::string& path, PictureFormat format, std::string& error);
