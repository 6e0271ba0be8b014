#pragma once
// Timing from the model's error: a strobe dt (bits) off the instant the
// shares were fitted at leaves the error e ~ dt y', y' the signal's slope
// there, so e y' / mean(y'^2) is dt times a gain K_g that the pulse fixes
// (Gain). y' is taken as the change from the midpoint before the strobe
// to the one after it (per bit), e as ChannelModel::Learn gives it, two
// bits late, on a decision made with a margin.
//
// Gardner's detector needs the signal's energy on both sides of half the
// bit rate; a channel cut off below it (a linear-phase 3400 Hz voice
// filter at 8250 bit/s) leaves it nothing but noise, and the loop wanders
// off. This one needs only a fitted model. Once the model has settled and
// the acquisition after an onset is over (HalfBitCheck), each carries
// kGradientShare (half) of the loop's gain, both scaled to Gardner's K_p:
// the loop keeps its design where both see the timing, and runs at half
// its bandwidth on the one that still does. It does not acquire, since the
// model adapts to a slowly moving strobe: it holds the strobe where the
// shares were fitted, while the clock mismatch in the loop's integrator
// carries on.

#include <algorithm>

#include "rx/robust/pulse.hpp"

namespace robust {

constexpr double kGradientShare = 0.5;  // of the loop's gain, once the model is fitted
constexpr double kMaxGradient = 4.0;    // |e y' / mean(y'^2)| clamp, bits: against single spikes
constexpr double kSlopeStep = 1.0 / 32; // mean y'^2's step, per bit: as P's decay (Squelch)
// Only for a signal within 6 dB of the one the model was fitted to (P
// against the sum of the shares squared): noise that opens the squelch for
// a moment in a pause lies 15 dB and more below it, and its errors and
// slopes, fed to the loop's integrator, would carry the clock mismatch off
// by a percent before the next transmission.
constexpr double kFittedPowerShare = 0.25;

struct ErrorGradient {
    struct Design {
        double scale = 1.0;  // K_p / K_g: the error in Gardner's units

        bool operator==(const Design&) const = default;
    };
    // From the symbol response r and Gardner's K_p for it.
    static Design MakeDesign(const SymbolResponse& r, double gardnerGain);
    // K_g for the symbol response r, per bit of timing error.
    static double Gain(const SymbolResponse& r);

    explicit ErrorGradient(const Design& d) : design(d) {}

    Design design;
    double olderMid = 0.0, oldestMid = 0.0;  // the midpoints after and before y_(n-2)
    double slopePower = 0.0;                 // mean y'^2, levels^2

    // The strobe's offset times K_g (bits) from the model's error at
    // y_(n-2), if usable; midValue is the midpoint before the newest strobe.
    double Error(double modelError, double midValue, bool usable)
    {
        const double slope = olderMid - oldestMid;
        slopePower += kSlopeStep * (slope * slope - slopePower);
        oldestMid = olderMid;
        olderMid = midValue;
        if (!usable || slopePower <= 0.0) return 0.0;
        return std::clamp(modelError * slope / slopePower, -kMaxGradient, kMaxGradient);
    }

    bool operator==(const ErrorGradient&) const = default;
};

}  // namespace robust
