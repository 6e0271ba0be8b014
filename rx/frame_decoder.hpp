#pragma once
// Channel bits back into picture lines: descrambling, NRZI decoding by run
// lengths, destuffing, flags, bytes LSB first, the start byte and 80-byte
// lines, handed to Next::StoreLine. No error detection: a flag realigns.

#include <cstdint>

#include "common/picture.hpp"
#include "rx/picture_view.hpp"

template <class Next = PictureView>
class FrameDecoder {
public:
    static constexpr std::int32_t kFlagMarker = 1000;
    static constexpr std::int32_t kStartByte = 255;

    explicit FrameDecoder(Next& next) : next_(next) {}

    // One recovered channel bit per bit period.
    void DecodeBit(std::int32_t bit) { CountRun(Descramble(bit)); }

    // r(n) ^ r(n-12) ^ r(n-17): the line level, whatever the polarity.
    std::int32_t Descramble(std::int32_t bit)
    {
        descramblerRegister = (descramblerRegister << 1) | (bit != 0 ? 1u : 0u);
        return static_cast<std::int32_t>((descramblerRegister ^ (descramblerRegister >> 12) ^
                                          (descramblerRegister >> 17)) & 1u);
    }

    void CountRun(std::int32_t level)
    {
        if (level == previousLevel) {
            // Every length above 7 means the same; stop at 8 so silence
            // cannot overflow the count.
            if (runLength < 8) ++runLength;
            return;
        }
        previousLevel = level;
        EndRun(runLength);
        runLength = 1;
    }

    // A run of n equal levels is n - 1 ones and the 0 of the change ending it.
    void EndRun(std::int32_t n)
    {
        if (n >= 1 && n <= 5) {
            for (std::int32_t i = 1; i < n; ++i) AddDataBit(1);
            AddDataBit(0);
        } else if (n == 6) {
            for (int i = 0; i < 5; ++i) AddDataBit(1);  // the stuffed 0 is dropped
        } else if (n == 7) {
            byteRegister = 0;
            bitCount = 0;
            AssembleLine(kFlagMarker);
        }
        // 0: the empty start-up run; 8 or more: invalid, nothing added.
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

    std::uint32_t descramblerRegister = 0;
    std::int32_t previousLevel = 0;
    std::int32_t runLength = 0;
    std::uint8_t byteRegister = 0;
    std::int32_t bitCount = 0;
    std::int32_t flagSeen = 0;
    std::int32_t lineColumn = 0;
    std::int32_t linesSinceStart = 0;
    PictureLine lineBuffer{};

private:
    void AddDataBit(std::uint32_t bit)
    {
        byteRegister = static_cast<std::uint8_t>((byteRegister >> 1) | (bit << 7));
        if (++bitCount == 8) {
            AssembleLine(byteRegister);
            byteRegister = 0;
            bitCount = 0;
        }
    }

    Next& next_;
};
