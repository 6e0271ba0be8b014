#pragma once
// Received pictures written as 8-bit grey PNG or binary PGM files.

#include <string>

#include "common/picture.hpp"

enum class PictureFormat { Png, Pgm };

enum class PictureWrite { Written, NameTaken, Failed };

// Writes path (its bytes as the file system takes them) whole or not at all,
// and never over a file already there (NameTaken). Otherwise Failed with a
// reason in error when it cannot be written; nothing is then left of the
// attempt. With syncToDisk the file is on the disk, not only in the page
// cache, before it has its name.
PictureWrite WritePicture(const Picture& picture, const std::string& path, PictureFormat format, bool syncToDisk,
                          std::string& error);
