#pragma once
// Last transmit stage: each channel bit becomes SamplesPerBit shaped samples
// at the write cursor. Channel bit 1 is the low level 78, 0 the high level
// 178; a change of bit is shaped against the previous one.

#include <cstdint>
#include <cstring>

#include "common/samples.hpp"

class WaveformSynth {
public:
    explicit WaveformSynth(const SamplesPerBit& samplesPerBit) : samplesPerBit_(samplesPerBit) {}

    void SetWriteCursor(std::uint8_t* cursor) { writeCursor_ = cursor; }
    std::uint8_t* WriteCursor() const { return writeCursor_; }

    // Stores SamplesPerBit samples for bit (0, or anything else for 1). The
    // buffer's capacity is the caller's concern.
    void RenderBit(std::uint32_t bit)
    {
        const std::uint32_t next = bit != 0 ? 1 : 0;
        const std::uint32_t pair = (previousChannelBit << 1) | next;
        // Read once: the whole bit is rendered at one setting.
        switch (samplesPerBit_.load(std::memory_order_relaxed)) {
        case 2:
            std::memcpy(writeCursor_, kShapes2[pair], 2);
            writeCursor_ += 2;
            break;
        case 3:
            std::memcpy(writeCursor_, kShapes3[pair], 3);
            writeCursor_ += 3;
            break;
        default:
            std::memcpy(writeCursor_, kShapes4[pair], 4);
            writeCursor_ += 4;
            break;
        }
        previousChannelBit = next;
    }

    // Carries over between transmissions and setting changes.
    std::uint32_t previousChannelBit = 0;

private:
    // Indexed by (previous bit << 1) | bit: 0→0 stays high, 0→1 falls,
    // 1→0 rises, 1→1 stays low. Falling and rising steps mirror about 128.
    static constexpr std::uint8_t kShapes4[4][4] = {
        {178, 178, 178, 178}, {108, 88, 78, 78}, {148, 168, 178, 178}, {78, 78, 78, 78}};
    static constexpr std::uint8_t kShapes3[4][3] = {
        {178, 178, 178}, {128, 98, 78}, {128, 158, 178}, {78, 78, 78}};
    // At 2 samples per bit the new level is reached at once, overshooting by 10.
    static constexpr std::uint8_t kShapes2[4][2] = {{178, 178}, {78, 68}, {178, 188}, {78, 78}};

    const SamplesPerBit& samplesPerBit_;
    std::uint8_t* writeCursor_ = nullptr;
};
