#pragma once
// Stores unsigned 8-bit mono samples as a RIFF WAVE file ("fmt " then
// "data"). Failures are shown to the user and returned as 0.

#include <cstdint>
#include <span>

#include "platform/message_box.hpp"

class WavWriter {
public:
    explicit WavWriter(MessageBox& messages) : messages_(messages) {}

    // Creates or truncates fileName and writes the whole file: 1 when it was
    // written and closed, 0 after showing "CANTOPENFILE", "CANTWRITEWAVE" or
    // "CANTWRITEDATA" (caption "Error", owned by owner). What was written
    // before a failure stays on disk.
    std::int32_t WriteWavFile(WindowHandle owner, const char* fileName, std::span<const std::uint8_t> samples,
                              std::uint32_t sampleRate);

private:
    MessageBox& messages_;
};
