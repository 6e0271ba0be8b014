#pragma once
// Hang-up: Gardner's detector has a second, unstable zero with the strobes
// on the bits' edges, where its slope is 0; a signal that starts there
// keeps the loop near it for tens of bits, deciding on the edges. For
// kAcquireBits after each onset the squared changes between successive
// strobes and between successive midpoints are summed: on the middles a
// change of the bit is a full swing at the strobes and about none at the
// midpoints, on the edges the other way round; noise adds the same to
// both. Once the sums hold kPhaseCheckChanges full changes (4 P each), a
// midpoint sum above kHalfBitRatio times the strobes' moves the strobe half
// a bit on (the midpoint becomes the strobe); a ratio of 2 jumps only with
// the strobes more than about a quarter bit off, where the loop would pull
// them in slowly anyway.

#include <cstdint>

namespace robust {

constexpr std::int32_t kAcquireBits = 128;    // after each onset the check runs, bits
constexpr double kPhaseCheckChanges = 8.0;    // its window: change energy of 8 full changes (4 P each)
constexpr std::int32_t kPhaseCheckBits = 16;  // and at least the bits random data takes for them
constexpr double kHalfBitRatio = 2.0;         // midpoint change energy over the strobes' for a jump

struct HalfBitCheck {
    std::int32_t bitsHeard = kAcquireBits;       // since the last onset, up to kAcquireBits
    double previousMid = 0.0;                    // y at the midpoint before the last
    double strobeChange = 0.0, midChange = 0.0;  // sum of squared changes, this check's window
    std::int32_t windowBits = 0;                 // bits in that window

    // Whether the strobes sit nearer the bits' edges than their middles,
    // from strobe y, the one before and the midpoint between them (levels),
    // and P (levels^2). The window ends once kPhaseCheckChanges full
    // changes' worth has been seen, so that runs of equal bits (no change
    // at either) decide nothing, and not before kPhaseCheckBits, so that
    // P's rise at the onset does not end it after a bit or two.
    bool Late(double y, double previousY, double midValue, double power, bool onset, bool squelched)
    {
        if (onset) {
            bitsHeard = 0;
            StartWindow();
        }
        bool late = false;
        if (bitsHeard < kAcquireBits && !squelched) {
            ++bitsHeard;
            ++windowBits;
            strobeChange += (y - previousY) * (y - previousY);
            midChange += (midValue - previousMid) * (midValue - previousMid);
            if (windowBits >= kPhaseCheckBits && strobeChange + midChange >= kPhaseCheckChanges * 4.0 * power) {
                late = midChange > kHalfBitRatio * strobeChange;
                StartWindow();
            }
        }
        previousMid = midValue;
        return late;
    }

    bool operator==(const HalfBitCheck&) const = default;

private:
    void StartWindow()
    {
        strobeChange = 0.0;
        midChange = 0.0;
        windowBits = 0;
    }
};

}  // namespace robust
