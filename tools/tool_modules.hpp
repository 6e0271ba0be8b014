#pragma once
// The tool's two modules, which hold what a plain decode need not load:
// reading images takes Qt, reading recordings other than plain 8-bit WAVs
// takes libsndfile and its codecs. Each is loaded on first use, from where
// it is installed beside the program or, in a build tree, from the
// program's own directory.

#include <string>

#include "common/picture.hpp"
#include "sample_input.hpp"

// The image module's file, and its entry point:
//   extern "C" int telvane_load_picture(const char* path, std::uint8_t* picture,
//                                       char* error, std::size_t errorSize)
// reads path into the 4,800 bytes of picture and returns 1, or returns 0
// with a reason in error (errorSize bytes with the terminating zero).
inline constexpr const char* kImageModuleFile = "telvane-cli-images.so";
inline constexpr const char* kImageModuleEntry = "telvane_load_picture";

// The recording module's file, and its entry point:
//   extern "C" int telvane_read_recording(const char* path, SampleSink* sink,
//                                         char* error, std::size_t errorSize)
// reads path into sink as ReadOtherRecording does and returns 1, or returns 0
// with a reason in error.
inline constexpr const char* kRecordingModuleFile = "telvane-cli-recordings.so";
inline constexpr const char* kRecordingModuleEntry = "telvane_read_recording";

// Reads path into picture; false with a reason in error when it cannot, or
// when the module cannot be loaded.
bool LoadPictureThroughModule(const std::string& path, Picture& picture, std::string& error);

// Reads the recording path, one that is not a plain WAV, into sink as
// ReadOtherRecording does; false with a reason in error when it cannot, or
// when the module cannot be loaded.
bool ReadRecordingThroughModule(const std::string& path, SampleSink& sink, std::string& error);
