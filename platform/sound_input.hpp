#pragma once
// Recording from the default input device into a looping ring of 66,150
// unsigned 8-bit mono samples (3 s at 22050 samples/s).

#include <cstdint>
#include <optional>
#include <span>

constexpr std::uint32_t kCaptureRingSize = 66150;

// A range of the ring: the second region is non-empty only when the range
// wraps past the end.
struct CaptureRegions {
    std::span<const std::uint8_t> first;
    std::span<const std::uint8_t> second;
};

class SoundInput {
public:
    virtual ~SoundInput() = default;
    // Makes a new device and ring and starts recording at offset 0, looping;
    // false (with nothing kept) when there is no device or it refuses the format.
    virtual bool Start() = 0;
    // Stops recording and releases the device and the ring.
    virtual void Stop() = 0;
    // The offset up to which the ring holds complete samples; nothing once
    // the device has stopped giving it.
    virtual std::optional<std::uint32_t> WritePosition() = 0;
    // The bytes from offset on, read in place until the next call on the
    // input; nothing when there is no such range.
    virtual std::optional<CaptureRegions> Regions(std::uint32_t offset, std::uint32_t bytes) = 0;
};
