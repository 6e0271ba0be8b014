// The recording reader as a module of its own, loaded by telvane-cli only
// for a recording that is not a plain 8-bit WAV: libsndfile brings a dozen
// codec libraries, whose loading would be a good part of a short decode.

#include <cstddef>
#include <cstdio>
#include <string>

#include "recording_input.hpp"
#include "tool_modules.hpp"

extern "C" __attribute__((visibility("default"))) int telvane_read_recording(const char* path, SampleSink* sink,
                                                                            char* error, std::size_t errorSize)
{
    std::string reason;
    if (ReadOtherRecording(path, *sink, reason)) return 1;
    std::snprintf(error, errorSize, "%s", reason.c_str());
    return 0;
}
