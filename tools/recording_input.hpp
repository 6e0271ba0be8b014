#pragma once
// Recordings turned into the samples a sound card would deliver: unsigned
// 8-bit mono at 22050 samples per second.

#include <cstdint>
#include <span>
#include <string>

// Where a recording's samples go, a chunk at a time.
class SampleSink {
public:
    // Takes a chunk of samples; false when it wants no more, which ends the
    // reading there (as a success).
    virtual bool Take(std::span<const std::uint8_t> chunk) = 0;
    // The same from a recording of more than 8 bits: each sample also at
    // its full resolution, in -1..1.
    virtual bool TakeFull(std::span<const std::uint8_t> chunk, std::span<const float> /*full*/) { return Take(chunk); }
    // How far a file is read: frames of its total (when known) after each
    // chunk.
    virtual void Progress(std::int64_t /*frames*/, std::int64_t /*total*/) {}

protected:
    ~SampleSink() = default;
};

// Reads any recording libsndfile reads, mixes its channels to mono,
// resamples other rates to 22050 and hands the samples on in chunks, in
// order, through TakeFull where the samples are not 8-bit already. An 8-bit
// unsigned mono 22050 Hz WAV passes through byte for byte.
// False with a reason in error when the file cannot be read; the chunks
// handed on before a failure stand.
bool ReadRecording(const std::string& path, SampleSink& sink, std::string& error);

// Raw unsigned 8-bit mono samples at 22050/s from a file descriptor (standard
// input), handed on as they arrive, until its end. A wait for them that a
// signal interrupts hands on an empty chunk, so that the sink can end the
// reading.
bool ReadRawSamples(int fd, SampleSink& sink, std::string& error);

// A sample in -1..1 as a sound card reduces it to 8 bits: floor(x * 128) + 128,
// clamped (so 8- and 16-bit sources keep their top 8 bits exactly).
std::uint8_t SampleToUnsigned8(float value);
