#pragma once
// The transmitter's WAV files: each transmission goes to the next of twenty
// names, "nbtv01.wav" … "nbtv19.wav", then "nbtv00.wav" and round again, so
// the latest twenty stay on disk. Transmit thread only.

#include <cstdint>
#include <span>
#include <string>

#include "tx/wav_writer.hpp"

// The file of transmission number, counted round the twenty names.
std::string TransmissionFileName(std::int64_t number);

class TransmissionFiles {
public:
    // Moves on to the next name and writes the samples there.
    WavResult WriteNext(std::span<const std::uint8_t> samples);

private:
    WavWriter writer_;
    std::int32_t fileCounter_ = 0;  // number of the file written last
};
