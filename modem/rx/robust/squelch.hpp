#pragma once
// Signal level and squelch. P, the mean y^2 at the strobes (levels^2),
// needs no decisions, so it is right from the first bits: it rises with
// step kPowerAttack (1/4: a signal's onset is measured within a few bits,
// before the timing loop has moved far) and falls with kPowerDecay. It
// starts at 0, no signal. P normalises the timing detector, held above
// kMinPowerShare (0.2^2) of the synth's strobe power, the weakest signal to
// be met: after a silence the first strong bits cannot saturate the
// detector for long, and noise alone moves the loop little.
// Below kSquelchShare (3 dB under that floor) there is no signal to decide
// on: each bit repeats the last, so that silence ends no byte, and the
// timing loop coasts at the clock offset it holds. The squelch opens again
// only above kOpenShare (1.8 dB higher, 1.2 dB under the weakest signal):
// P's fast attack lifts it on the noise peaks of a pause, and each opening
// would hand the frame decoder random bits, from which it makes a line
// every thousand bits or so, each one row out of place.
// A weaker signal than that opens it too, measured against the channel's
// own noise: Q, the mean y^2 at the strobes with step kLevelStep (1/32, a
// 32-bit average, steadier than P), against its floor F, which follows Q
// down at once and up with a time constant of kFloorRiseSeconds (60 s)
// while squelched, kOpenFloorRiseSeconds (600 s) while open: far longer
// than a transmission (7 s at 5500 bit/s), so that transmissions back to
// back for minutes do not raise F to themselves, yet hiss that grew louder
// and opened the squelch closes it again within minutes. Q kOpenRatio (6 dB) above F opens, under
// kCloseRatio (3 dB) above it closes: hiss alone, whose 32-bit mean stays
// within about 3 dB of itself, does not open it; a signal 3 dB above the
// hiss does, whatever the input level. F is first taken after kFloorBits
// bits of input (before that there is no floor to judge by), and Q must
// be at least kMinSignalShare (-60 dB, the synth's strobe power at 16-bit
// resolution) of the synth's strobe power.
// The timing detector's normalisation is held above kMinPowerShare of the
// lesser of the synth's strobe power and Q: as above for signals of the
// synth's level, and relative to the signal for weaker ones (and never
// below kMinSignalShare of the synth's, where there is no signal).

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "rx/robust/pulse.hpp"

namespace robust {

constexpr double kMinPowerShare = 0.04;  // P floor, of the synth's strobe power: gain 0.2
constexpr double kPowerAttack = 1.0 / 4; // P's step while the strobes are above it, per bit
constexpr double kPowerDecay = 1.0 / 32; // and below it: the amplitude's LMS step (ChannelModel)
constexpr double kSquelchShare = 0.02;   // no decisions below this, 3 dB under that
constexpr double kOpenShare = 0.03;      // and again only above this
constexpr double kLevelStep = 1.0 / 32;  // Q's step, per bit
constexpr double kFloorRiseSeconds = 60.0;  // F's time constant upward while squelched, s
constexpr double kOpenFloorRiseSeconds = 600.0;  // and while open, s
constexpr std::int32_t kFloorBits = 64;  // bits of input before F is first taken
constexpr double kOpenRatio = 4.0;       // Q over F that opens the squelch (6 dB)
constexpr double kCloseRatio = 2.0;      // and below which it closes (3 dB)
constexpr double kMinSignalShare = 1e-6; // least Q, of the synth's strobe power

struct Squelch {
    struct Design {
        double strobePower = 1.0;  // mean y^2 at the strobes from the synth, levels^2
        double floorStep = 0.0;    // F's step upward while squelched, per bit
        double openFloorStep = 0.0;  // and while open

        bool operator==(const Design&) const = default;
    };
    // From the symbol response, the matched filter's peak gain and the
    // samples per bit.
    static Design MakeDesign(const SymbolResponse& r, double peakGain);

    Design design;
    double power = 0.0;     // P, mean y^2 at the strobes: no signal yet
    bool squelched = true;  // P below kSquelchShare at the last strobe
    double level = 0.0;     // Q, levels^2
    double floor = 0.0;     // F, levels^2, once bitsMeasured reaches kFloorBits
    std::int32_t bitsMeasured = 0;  // up to kFloorBits
    bool flagsFound = false;  // FlagsFound while squelched, since the last strobe

    struct Verdict {
        bool squelched = true;  // nothing to decide on at this strobe
        bool onset = false;     // a signal has appeared at this strobe
        bool byFlags = false;   // known by its preamble's flags, some way into them

        bool operator==(const Verdict&) const = default;
    };
    // At each strobe, from P as it stood after the last.
    Verdict Decide()
    {
        const double share = squelched ? kOpenShare : kSquelchShare;
        const double ratio = squelched ? kOpenRatio : kCloseRatio;
        const bool weak = bitsMeasured == kFloorBits && level >= ratio * floor &&
                          level >= kMinSignalShare * design.strobePower;
        const bool now = power < share * design.strobePower && !weak;
        const Verdict verdict{now, squelched && !now, flagsFound};
        squelched = now;
        flagsFound = false;
        return verdict;
    }

    // A preamble's flags at this rate (RateFinder): a signal known by its
    // structure, whatever its level, even with no quiet before it to take
    // the floor from. The floor is put 6 dB under it, so that the squelch
    // opens at the next strobe and stays open while the signal lasts.
    void FlagsFound()
    {
        if (!squelched) return;
        flagsFound = true;
        floor = bitsMeasured < kFloorBits ? level / kOpenRatio : std::min(floor, level / kOpenRatio);
        bitsMeasured = kFloorBits;
    }

    // P's amplitude against the synth's signal.
    double RelativeLevel() const { return std::sqrt(power / design.strobePower); }

    // P after strobe y (levels); returns the timing detector's normalisation.
    double Measure(double y)
    {
        power += (y * y > power ? kPowerAttack : kPowerDecay) * (y * y - power);
        level += kLevelStep * (y * y - level);
        if (bitsMeasured < kFloorBits && ++bitsMeasured == kFloorBits) floor = level;
        const double rise = squelched ? design.floorStep : design.openFloorStep;
        floor = level < floor ? level : floor + rise * (level - floor);
        return std::max({power, kMinPowerShare * std::min(design.strobePower, level),
                         kMinSignalShare * design.strobePower});
    }

    bool operator==(const Squelch&) const = default;
};

}  // namespace robust
