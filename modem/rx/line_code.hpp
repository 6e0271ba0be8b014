#pragma once
// The receiving side of the line code FrameEncoder sends: the
// self-synchronising descrambler and NRZI decoding by run lengths, shared
// by the exact FrameDecoder and the robust receiver's frame layer.

#include <cstdint>

namespace line_code {

// r(n) ^ r(n-12) ^ r(n-17) of the descrambler register with bit n just
// shifted in: the line level, whatever the polarity.
constexpr std::int32_t Level(std::uint32_t descramblerRegister)
{
    return static_cast<std::int32_t>((descramblerRegister ^ (descramblerRegister >> 12) ^ (descramblerRegister >> 17)) &
                                     1u);
}

// One line level into the run count. The level changes at random, so this
// has no branch: a run that goes on ends as a run of 0, which adds nothing.
// Returns the length of the run the level ended; runLength stops at
// longest, beyond which every length means the same.
constexpr std::int32_t EndedRun(std::int32_t level, std::int32_t& previousLevel, std::int32_t& runLength,
                                std::int32_t longest)
{
    const std::int32_t changed = -static_cast<std::int32_t>(level != previousLevel);  // all ones or 0
    const std::int32_t ended = runLength & changed;
    const std::int32_t longer = runLength + static_cast<std::int32_t>(runLength < longest);
    runLength = (1 & changed) | (longer & ~changed);
    previousLevel = level;
    return ended;
}

// A run of n equal levels is n - 1 ones and the 0 of the change ending it;
// 6 is five ones and a stuffed 0 (dropped), 7 a flag. The data bits a run
// of n (0 to 8) ends with, the first in bit 0, and how many: 0 (the empty
// start-up run) and 8 or more (invalid) add none.
inline constexpr std::uint32_t kRunBits[9] = {0, 0, 1, 3, 7, 15, 31, 0, 0};
inline constexpr std::int32_t kRunBitCount[9] = {0, 1, 2, 3, 4, 5, 5, 0, 0};

}  // namespace line_code
