#pragma once
// Channel bits back into picture lines: descrambling, NRZI decoding by run
// lengths, destuffing, flags, bytes LSB first, the start byte and 80-byte
// lines, handed to Next::StoreLine. No error detection: a flag realigns.

#include <cstdint>

#include "common/picture.hpp"

struct FrameDecoderState {
    std::uint32_t descramblerRegister = 0;
    std::int32_t previousLevel = 0;
    std::int32_t runLength = 0;
    std::uint8_t byteRegister = 0;
    std::int32_t bitCount = 0;
    std::int32_t flagSeen = 0;
    std::int32_t lineColumn = 0;
    std::int32_t linesSinceStart = 0;
    PictureLine lineBuffer{};

    bool operator==(const FrameDecoderState&) const = default;
};

template <class Next>
class FrameDecoder : public FrameDecoderState {
public:
    static constexpr std::int32_t kFlagMarker = 1000;
    static constexpr std::int32_t kStartByte = 255;

    explicit FrameDecoder(Next& next, const FrameDecoderState& state = {}) : FrameDecoderState(state), next_(next) {}

    // One recovered channel bit per bit period.
    void DecodeBit(std::int32_t bit) { CountRun(Descramble(bit)); }

    // r(n) ^ r(n-12) ^ r(n-17): the line level, whatever the polarity.
    std::int32_t Descramble(std::int32_t bit)
    {
        descramblerRegister = (descramblerRegister << 1) | (bit != 0 ? 1u : 0u);
        return static_cast<std::int32_t>((descramblerRegister ^ (descramblerRegister >> 12) ^
                                          (descramblerRegister >> 17)) & 1u);
    }

    // NRZI by runs. The level changes at random, so this has no branch: a
    // run that goes on ends as a run of 0, which adds nothing.
    void CountRun(std::int32_t level)
    {
        const std::int32_t changed = -static_cast<std::int32_t>(level != previousLevel);  // all ones or 0
        const std::int32_t ended = runLength & changed;
        // Every length above 7 means the same; stop at 8 so silence cannot
        // overflow the count.
        const std::int32_t longer = runLength + static_cast<std::int32_t>(runLength < 8);
        runLength = (1 & changed) | (longer & ~changed);
        previousLevel = level;
        EndRun(ended);
    }

    // A run of n equal levels is n - 1 ones and the 0 of the change ending
    // it; 6 is five ones and a stuffed 0 (dropped), 7 a flag, which discards
    // a partly collected byte. 0 (the empty start-up run) and 8 or more
    // (invalid) add nothing and keep the partial byte.
    void EndRun(std::int32_t n)
    {
        const std::int32_t index = static_cast<std::uint32_t>(n) > 8u ? 8 : n;
        AddDataBits(kRunBits[index], kRunBitCount[index]);
        if (n == 7) {
            byteRegister = 0;
            bitCount = 0;
            AssembleLine(kFlagMarker);
        }
    }

    void AssembleLine(std::int32_t value)
    {
        if (value == kFlagMarker) {
            flagSeen = 1;
            return;
        }
        if (flagSeen != 0) {
            if (value == kStartByte) {
                linesSinceStart = 0;
                lineColumn = 0;
                return;  // flagSeen stays set
            }
            // After a complete line a new one begins; a short one continues.
            if (lineColumn >= kPictureWidth) lineColumn = 0;
            flagSeen = 0;
        }
        if (lineColumn < kPictureWidth) lineBuffer[lineColumn] = static_cast<std::uint8_t>(value);
        // Only comparisons with 80 matter: hold it at 81 so noise cannot overflow it.
        if (lineColumn <= kPictureWidth) ++lineColumn;
        if (lineColumn == kPictureWidth) {
            next_.StoreLine(lineBuffer);
            // Only "exactly 60" matters; stop at 61 for the same reason.
            if (linesSinceStart <= kPictureHeight) ++linesSinceStart;
            if (linesSinceStart == kPictureHeight) next_.ResetPictureRow();
        }
    }

private:
    // The data bits that a run of n (0 to 8) ends with, the first in bit 0.
    static constexpr std::uint32_t kRunBits[9] = {0, 0, 1, 3, 7, 15, 31, 0, 0};
    static constexpr std::int32_t kRunBitCount[9] = {0, 1, 2, 3, 4, 5, 5, 0, 0};

    // Adds count (0 to 5) data bits, the first in bit 0. Each enters
    // byteRegister at bit 7, moving the earlier ones toward bit 0; a
    // complete byte (at most one) goes to AssembleLine.
    void AddDataBits(std::uint32_t bits, std::int32_t count)
    {
        const std::int32_t total = bitCount + count;
        if (total >= 8) {
            const std::int32_t fill = 8 - bitCount;
            AssembleLine(static_cast<std::uint8_t>((byteRegister >> fill) | (bits << (8 - fill))));
            const std::int32_t rest = total - 8;
            byteRegister = static_cast<std::uint8_t>((bits >> fill) << (8 - rest));
            bitCount = rest;
        } else {
            byteRegister = static_cast<std::uint8_t>((byteRegister >> count) | (bits << (8 - count)));
            bitCount = total;
        }
    }

    Next& next_;
};
