#pragma once
// Stores unsigned 8-bit mono samples as a RIFF WAVE file ("fmt " then
// "data"), either whole or as the samples come. Failures are returned, not
// shown: the caller decides how the user hears of them.

#include <cstdint>
#include <cstdio>
#include <span>

enum class WavResult { Written, CannotOpen, CannotWriteHeader, CannotWriteData };

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates or truncates fileName and writes the whole file. What was
    // written before a failure stays on disk.
    WavResult WriteWavFile(const char* fileName, std::span<const std::uint8_t> samples, std::uint32_t sampleRate);

    // The same file in steps: Open writes the headers with the sizes still 0,
    // Append adds samples, Finish pads, fills in the sizes and closes. After
    // a failure the file is closed and later steps fail with CannotWriteData.
    WavResult Open(const char* fileName, std::uint32_t sampleRate);
    WavResult Append(std::span<const std::uint8_t> samples);
    WavResult Finish();

    // errno of the last failure, 0 when it had none (a file too long for
    // RIFF's 32-bit sizes).
    int SystemError() const { return systemError_; }

private:
    WavResult Fail(WavResult result, int systemError);

    std::FILE* file_ = nullptr;
    std::size_t samples_ = 0;
    int systemError_ = 0;
};
