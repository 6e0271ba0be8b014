#pragma once
// Audio samples as both halves of the system hold them: unsigned 8-bit mono
// at 22050 samples per second, 128 being the zero level.

#include <atomic>
#include <cstddef>
#include <cstdint>

constexpr std::int32_t kSampleRate = 22050;
constexpr std::uint8_t kZeroLevel = 128;

// The transmit buffer holds 15 s, far more than the longest transmission.
constexpr std::size_t kSampleBufferSize = 330750;

// Samples per channel bit (4, 3 or 2), written by the user interface and read
// whole by the transmitter once per bit and by the receiver once per poll.
using SamplesPerBit = std::atomic<std::int32_t>;
constexpr std::int32_t kInitialSamplesPerBit = 4;

// The three bit rates, 22050 / samples per bit, by their names in bits per
// second.
struct BitRate {
    std::int32_t samplesPerBit;
    const char* bitsPerSecond;
};
constexpr BitRate kBitRates[] = {{4, "5500"}, {3, "8250"}, {2, "11000"}};
