#pragma once
// Channel bits back into picture rows, each placed by its position in the
// transmission: descrambling, NRZI by runs and destuffing as FrameDecoder
// does, then framing by position. A transmission is 20 flags, the start
// byte 0xFF and 60 line packets of a flag and 80 bytes, so after destuffing
// line k's flag ends exactly kFlagBits + k kPacketBits data bits after the
// start byte. A flag within kSlackBits of such a place begins row k (and
// re-anchors the count, so the bits that errors add or drop by breaking
// the stuffing do not add up); a flag anywhere else is a bit error and
// spoils the line it falls in. A missing row keeps what the store holds
// (the previous picture's row), so a lost line costs only that row.
//
// Noise makes flags and bytes of its own: a run of exactly 7 equal levels
// (a flag) comes every 2^7 runs or so. A picture therefore needs its
// preamble, kPreambleFlags flags in a row (8 data bits apart) and the start
// byte straight after them: about 2^-40 per run in noise, never in hours.
// Lines count only inside a picture, where a line can start, and not past
// row 59, so neither hiss nor the bits after a transmission make lines.
//
// A receiver that is still learning the channel during the preamble (the
// first transmission through a voice band-pass, or with the clocks far
// apart) may miss the start byte but catch the lines. Those count too once
// kChainFlags flags have come one line packet apart (kSlackBits each): noise
// makes a flag within a packet's place with odds of 17 / 2^8, so a chain of
// five about once in 2^25 data bits, an hour at 11000 bit/s. The lines of
// the chain's first flags wait for it (pending). Their rows are counted from
// the preamble's last two flags in a row where those came, else from the
// signal's onset (where the squelch opened: the preamble's first bit, or
// up to a preamble after it when the preamble's flags opened it) if the
// chain fits it, else from the store's next row, as the exact receiver
// would place them; the rest of the picture goes by position from them.
// Counting runs through an error burst (runs of 8 and more count their
// length) keeps the positions after it, and so does a dropout that closes
// the squelch.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/picture.hpp"
#include "rx/line_code.hpp"

namespace robust {

// Runs are counted up to this (channel bits).
constexpr std::int32_t kLongestRun = 1 << 16;
constexpr std::int32_t kFlagBits = 8;                               // 0x7E
constexpr std::int32_t kPacketBits = kFlagBits + 8 * kPictureWidth;  // a line packet: 648 data bits
constexpr std::int32_t kSlackBits = 8;       // a flag this far from its place still starts the line
constexpr std::int32_t kPreambleFlags = 4;   // flags in a row before the start byte
// The preamble's data bits, 20 flags and the start byte.
constexpr std::int32_t kPreambleBits = 20 * kFlagBits + 8;
// Where line 0 may follow a signal's onset: the squelch opens a few bits
// into the preamble, and the garbled bits of a receiver still learning the
// channel add or drop some in the count (28 measured through a 300 Hz
// high-pass at 8250 bit/s); an eighth of a packet, far from the next row's
// even with the span of an onset by flags added half on either side.
constexpr std::int32_t kOnsetSlackBits = kPacketBits / 8;
constexpr std::int32_t kChainFlags = 5;      // line flags one packet apart that make a picture without it

struct FrameLayerState {
    std::uint32_t descramblerRegister = 0;
    std::int32_t previousLevel = 0;
    std::int32_t runLength = 0;
    std::uint8_t byteRegister = 0;
    std::int32_t bitCount = 0;
    std::int64_t position = 0;          // data bits decoded, the flags' included
    std::int64_t lastFlagEnd = -kFlagBits - 1;
    std::int32_t flagsInARow = 0;       // up to kPreambleFlags
    std::int64_t preambleAt = -(std::int64_t{1} << 40);  // where the latest flag straight after another ended
    std::int64_t onsetAt = -(std::int64_t{1} << 40);     // where the latest signal began
    std::int32_t onsetSpan = 0;         // its preamble began up to this before it, data bits
    bool afterFlag = false;             // no byte since the last flag
    bool inPicture = false;             // rows can still come from the latest start byte
    std::int64_t lineZeroAt = 0;        // where row 0's flag ends (or would), data bits
    std::int32_t linesSinceStart = 0;   // rows placed since the latest start byte, 0 .. 60
    std::int32_t row = -1;              // the row whose bytes are coming, -1 none
    std::int32_t lineColumn = 0;
    std::int32_t chainFlags = 0;        // flags one packet apart, up to kChainFlags, outside a picture
    std::int64_t chainAt = 0;           // where the chain's last flag ended
    bool collecting = false;            // a pending line's bytes are coming
    std::int32_t pendingLines = 0;      // the chain's lines so far, up to kChainFlags - 1
    std::array<PictureLine, kChainFlags - 1> pending{};
    PictureLine lineBuffer{};
    Picture rows{};                     // each row as last placed

    bool operator==(const FrameLayerState&) const = default;
};

template <class Next>
class FrameLayer : public FrameLayerState {
public:
    explicit FrameLayer(Next& next, const FrameLayerState& state = {}) : FrameLayerState(state), next_(next) {}

    // One recovered channel bit per bit period.
    void DecodeBit(std::int32_t bit)
    {
        descramblerRegister = (descramblerRegister << 1) | (bit != 0 ? 1u : 0u);
        EndRun(line_code::EndedRun(line_code::Level(descramblerRegister), previousLevel, runLength, kLongestRun));
    }

    // A signal has begun (the squelch opened): its preamble starts here,
    // or, byFlags (the preamble's flags opened it), began up to a preamble
    // before. The squelch's repeated bits before it, one long run, count
    // now as the bits they stand for, so that a dropout within a
    // transmission keeps the rows after it in place; the line it fell in
    // is lost.
    void Onset(bool byFlags)
    {
        position += runLength;
        runLength = 1;
        onsetAt = position;
        onsetSpan = byFlags ? kPreambleBits : 0;
        row = -1;
        collecting = false;
    }

private:
    void EndRun(std::int32_t n)
    {
        if (n == 7) {
            position += 7;  // six 1s and the 0; the flag's first 0 ended the run before
            Flag();
            return;
        }
        if (n >= 8) {
            // Invalid, an error: no data, but the place of the bits it
            // stands for (n - 1 ones and a 0) is kept.
            position += n;
            return;
        }
        const std::int32_t count = line_code::kRunBitCount[n];
        const std::int32_t total = bitCount + count;
        if (total >= 8) {
            const std::int32_t fill = 8 - bitCount;
            Byte(static_cast<std::uint8_t>((byteRegister >> fill) | (line_code::kRunBits[n] << (8 - fill))),
                 position + fill);
            const std::int32_t rest = total - 8;
            byteRegister = static_cast<std::uint8_t>((line_code::kRunBits[n] >> fill) << (8 - rest));
            bitCount = rest;
        } else {
            byteRegister = static_cast<std::uint8_t>((byteRegister >> count) | (line_code::kRunBits[n] << (8 - count)));
            bitCount = total;
        }
        position += count;
    }

    void Flag()
    {
        const bool atPitch = std::llabs(position - lastFlagEnd - kPacketBits) <= kSlackBits;
        const bool inARow = position - lastFlagEnd == kFlagBits;
        flagsInARow = inARow ? std::min(flagsInARow + 1, kPreambleFlags) : 1;
        if (inARow) preambleAt = position;
        lastFlagEnd = position;
        byteRegister = 0;
        bitCount = 0;
        afterFlag = true;
        row = -1;  // a line cut short by a flag is spoilt
        if (!inPicture && !Chain()) return;
        const std::int64_t offset = position - lineZeroAt;
        if (offset < -kSlackBits) return;  // before row 0's place
        const std::int64_t k = (offset + kPacketBits / 2) / kPacketBits;
        if (k >= kPictureHeight) {
            inPicture = false;  // past row 59's place: no row can come any more
            return;
        }
        // Off its place, a flag one packet after the last still starts the
        // nearest row: the count slipped in an error burst between them.
        const std::int64_t off = std::llabs(offset - k * kPacketBits);
        if (k < linesSinceStart || off > (atPitch ? kPacketBits / 4 : kSlackBits)) return;
        row = static_cast<std::int32_t>(k);
        lineColumn = 0;
        lineZeroAt = position - k * kPacketBits;
    }

    // A byte that ended at data bit `end`.
    void Byte(std::uint8_t value, std::int64_t end)
    {
        const bool first = afterFlag;
        afterFlag = false;
        if (first && value == 0xFF && flagsInARow >= kPreambleFlags) {
            Start(end);
            return;
        }
        if (row < 0 && !collecting) return;
        lineBuffer[static_cast<std::size_t>(lineColumn)] = value;
        if (++lineColumn < kPictureWidth) return;
        if (row >= 0) {
            Place();
        } else {
            collecting = false;
            if (pendingLines < kChainFlags - 1) pending[static_cast<std::size_t>(pendingLines++)] = lineBuffer;
        }
    }

    // Outside a picture, at a flag: whether it completes a chain of line
    // flags, which then opens a picture: the pending lines go into their
    // rows, and this flag begins the next.
    bool Chain()
    {
        const bool atPitch = std::llabs(position - chainAt - kPacketBits) <= kSlackBits;
        // The line before this flag must have come whole.
        const bool whole = atPitch && !collecting && pendingLines == chainFlags;
        chainFlags = whole ? chainFlags + 1 : 1;
        if (!whole) pendingLines = 0;
        chainAt = position;
        if (chainFlags < kChainFlags) {
            collecting = true;
            lineColumn = 0;
            return false;
        }
        // The chain's rows: counted from the preamble if its last flags came
        // where this chain's first line can follow them (the start byte
        // garbled), or from the signal's onset if the preamble began there
        // (all of it garbled), else from the store's next row.
        const std::int32_t lines = pendingLines;
        const std::int64_t first = position - static_cast<std::int64_t>(lines) * kPacketBits;
        const auto rowFrom = [first](std::int64_t lineZero, std::int64_t slack) -> std::int64_t {
            const std::int64_t offset = first - lineZero;
            const std::int64_t k = (offset + kPacketBits / 2) / kPacketBits;
            return offset >= -slack && k < kPictureHeight && std::llabs(offset - k * kPacketBits) <= slack ? k : -1;
        };
        std::int64_t k = rowFrom(preambleAt + 2 * kFlagBits, kSlackBits);
        if (k >= 0) {
            Start(preambleAt + kFlagBits);
        } else if (k = rowFrom(onsetAt - onsetSpan / 2 + kPreambleBits + kFlagBits, kOnsetSlackBits + onsetSpan / 2);
                   k >= 0) {
            Start(onsetAt - onsetSpan / 2 + kPreambleBits);
        } else {
            chainFlags = 0;
            collecting = false;
            inPicture = true;
            if (linesSinceStart == kPictureHeight) linesSinceStart = 0;  // the store is back at row 0
            k = linesSinceStart;
        }
        lineZeroAt = first - k * kPacketBits;
        for (std::int32_t i = 0; i < lines && inPicture; ++i) {
            lineBuffer = pending[static_cast<std::size_t>(i)];
            row = static_cast<std::int32_t>(k) + i;
            Place();
        }
        pendingLines = 0;
        return inPicture;
    }

    void Start(std::int64_t end)
    {
        // The picture before, if any of it came, is completed with the rows
        // the store holds.
        if (linesSinceStart > 0 && linesSinceStart < kPictureHeight) Fill(kPictureHeight);
        inPicture = true;
        lineZeroAt = end + kFlagBits;
        linesSinceStart = 0;
        row = -1;
        chainFlags = 0;
        collecting = false;
        pendingLines = 0;
    }

    void Place()
    {
        Fill(row);
        rows[static_cast<std::size_t>(row)] = lineBuffer;
        next_.StoreLine(lineBuffer);
        linesSinceStart = row + 1;
        row = -1;
        if (linesSinceStart == kPictureHeight) {
            next_.ResetPictureRow();
            inPicture = false;
        }
    }

    // The rows from linesSinceStart up to `until` that did not come: the
    // store keeps them, so they are handed over as they were.
    void Fill(std::int32_t until)
    {
        for (; linesSinceStart < until; ++linesSinceStart) {
            next_.StoreLine(rows[static_cast<std::size_t>(linesSinceStart)]);
            if (linesSinceStart + 1 == kPictureHeight) next_.ResetPictureRow();
        }
    }

    Next& next_;
};

}  // namespace robust
