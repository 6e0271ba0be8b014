#pragma once
// Reading image files through the image module, which holds everything that
// needs Qt: loaded on first use, from where it is installed beside the
// program or, in a build tree, from the program's own directory.

#include <string>

#include "common/picture.hpp"

// The module's file, and its entry point:
//   extern "C" int telvane_load_picture(const char* path, std::uint8_t* picture,
//                                       char* error, std::size_t errorSize)
// reads path into the 4,800 bytes of picture and returns 1, or returns 0
// with a reason in error (errorSize bytes with the terminating zero).
inline constexpr const char* kImageModuleFile = "telvane-cli-images.so";
inline constexpr const char* kImageModuleEntry = "telvane_load_picture";

// Reads path into picture; false with a reason in error when it cannot, or
// when the module cannot be loaded.
bool LoadPictureThroughModule(const std::string& path, Picture& picture, std::string& error);
