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

#include <algorithm>
#include <cmath>

#include "rx/robust/pulse.hpp"

namespace robust {

constexpr double kMinPowerShare = 0.04;  // P floor, of the synth's strobe power: gain 0.2
constexpr double kPowerAttack = 1.0 / 4; // P's step while the strobes are above it, per bit
constexpr double kPowerDecay = 1.0 / 32; // and below it: the amplitude's LMS step (ChannelModel)
constexpr double kSquelchShare = 0.02;   // no decisions below this, 3 dB under that
constexpr double kOpenShare = 0.03;      // and again only above this

struct Squelch {
    struct Design {
        double strobePower = 1.0;  // mean y^2 at the strobes from the synth, levels^2

        bool operator==(const Design&) const = default;
    };
    // From the symbol response and the matched filter's peak gain.
    static Design MakeDesign(const SymbolResponse& r, double peakGain);

    Design design;
    double power = 0.0;     // P, mean y^2 at the strobes: no signal yet
    bool squelched = true;  // P below kSquelchShare at the last strobe

    struct Verdict {
        bool squelched;  // nothing to decide on at this strobe
        bool onset;      // a signal has appeared at this strobe
    };
    // At each strobe, from P as it stood after the last.
    Verdict Decide()
    {
        const double level = squelched ? kOpenShare : kSquelchShare;
        const bool now = power < level * design.strobePower;
        const Verdict verdict{now, squelched && !now};
        squelched = now;
        return verdict;
    }

    // P's amplitude against the synth's signal.
    double RelativeLevel() const { return std::sqrt(power / design.strobePower); }

    // P after strobe y (levels); returns the timing detector's normalisation.
    double Measure(double y)
    {
        power += (y * y > power ? kPowerAttack : kPowerDecay) * (y * y - power);
        return std::max(power, kMinPowerShare * design.strobePower);
    }

    bool operator==(const Squelch&) const = default;
};

}  // namespace robust
