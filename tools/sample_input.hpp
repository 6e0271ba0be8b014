#pragma once
// Samples as a sound card would deliver them, unsigned 8-bit mono at 22050
// per second, from what needs no audio library: raw samples on a file
// descriptor, and WAV files that hold exactly such samples (as the encoder
// writes them).

#include <cstdint>
#include <optional>
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

// Frames read from a file at a time, about 3 s: few reads, and few rounds
// of whatever each chunk costs further on.
inline constexpr std::int64_t kFileChunkFrames = 65536;

// A RIFF WAVE file of PCM, one channel, 22050 samples/s and 8 bits, with a
// data chunk of a stated size, handed on byte for byte (to the end of the
// file where it is cut short): true, or false with a reason in error when
// reading its samples fails (the chunks handed on before stand). Nothing,
// with nothing read, for any other file and for one that cannot be opened
// or whose header cannot be read: an audio library's turn.
std::optional<bool> ReadPlainWav(const std::string& path, SampleSink& sink, std::string& error);

// Raw unsigned 8-bit mono samples at 22050/s from a file descriptor (standard
// input), handed on as they arrive, until its end. A wait for them that a
// signal interrupts hands on an empty chunk, so that the sink can end the
// reading.
bool ReadRawSamples(int fd, SampleSink& sink, std::string& error);

// A sample in -1..1 as a sound card reduces it to 8 bits: floor(x * 128) + 128,
// clamped (so 8- and 16-bit sources keep their top 8 bits exactly).
std::uint8_t SampleToUnsigned8(float value);
