#pragma once
// Channel bits back into picture lines: descrambling, NRZI decoding by run
// lengths, destuffing, flags, bytes LSB first, the start byte and 80-byte
// lines, handed to Next::StoreLine. No error detection: a flag realigns.

#include <cstdint>

#include "common/picture.hpp"
#include "rx/line_code.hpp"

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

    // The line level, whatever the polarity.
    std::int32_t Descramble(std::int32_t bit)
    {
        descramblerRegister = (descramblerRegister << 1) | (bit != 0 ? 1u : 0u);
        return line_code::Level(descramblerRegister);
    }

    // NRZI by runs. Every length above 7 means the same; the count stops at
    // 8 so that silence cannot overflow it.
    void CountRun(std::int32_t level) { EndRun(line_code::EndedRun(level, previousLevel, runLength, 8)); }

    // A run of n equal levels is n - 1 ones and the 0 of the change ending
    // it; 6 is five ones and a stuffed 0 (dropped), 7 a flag, which discards
    // a partly collected byte. 0 (the empty start-up run) and 8 or more
    // (invalid) add nothing and keep the partial byte.
    void EndRun(std::int32_t n)
    {
        const std::int32_t index = static_cast<std::uint32_t>(n) > 8u ? 8 : n;
        AddDataBits(line_code::kRunBits[index], line_code::kRunBitCount[index]);
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
