#pragma once
// A second path: the channel adds the signal again, g times, D later (a
// reflection, a repeater's own output heard again, two sound paths mixed).
// At the strobes that is a sparse share h_L a_(m-L) of bits far beyond the
// decision feedback's span: D = 5 ms is L = 27.5, 41 and 55 bits at 5500,
// 8250 and 11000 bit/s, and a fractional L spreads the echo over the two
// lags beside it (the pulse's r(T/2) each at L + 1/2).
//
// Search: the model's error e at y_(n-2) against the bits L before it, for
// every L from kFirstEchoLag (the first lag past the feedback taps) to the
// lag of kMaxEchoMs: c_L = mean(e a_(n-2-L)) is h_L itself on random bits
// (each bit is uncorrelated with the others, so only its own share
// remains), with a standard error sqrt(mean(e^2) / count). It is summed on
// every kSearchStride-th adapted bit (the error changes little from one bit
// to the next in what it says of h; a stride keeps the search at about 13
// multiplies a bit at 11000 bit/s) over kSearchCount such bits, about 0.1 s
// of signal at each rate. Then the strongest pair of adjacent lags takes
// the kEchoTaps taps (the pair and one on either side: a fractional delay's
// main shares) if its larger c_L is
//   - kEchoSigmas (6) standard errors from 0: noise alone passes it about
//     once in 10^7 searches of 100 lags;
//   - at least kMinEchoShare (2 %) of the amplitude A: a smaller echo costs
//     the decisions under 0.2 dB;
//   - and kEchoPeakRatio (4) times the median |c_L|: an echo is a peak two
//     or three lags wide; a tail the tail filters have not yet taken up
//     (an AC coupling's, a band-pass's) spreads over all the lags.
// On a noise-free channel the error is small enough for the test to find
// what the tail filters leave of an AC coupling's tail, a few lags past the
// feedback taps: the taps then take that up as well.
// The taps start at their c_L (the mean of the search's bits) and adapt
// by LMS with the model's feedback step. The search goes on while the
// taps hold an echo: what they leave is the residual, and a stronger peak
// elsewhere moves them there.
// The taps are kept from one transmission to the next, as the model's
// shares are; at an onset the bits before it are silence (0), not the
// squelch's repeated ones. A new bit rate puts the echo at other lags:
// the search starts again.
//
// Work per bit: the history's two stores and 3 x kEchoTaps multiplies;
// per kSearchStride bits one pass over the lags.

#include <array>
#include <cstdint>

#include "rx/robust/decision_history.hpp"

namespace robust {

constexpr double kMaxEchoMs = 10.0;            // longest echo delay searched, ms
constexpr int kEchoSpan = 128;                 // bits of history: 10 ms at 11000 bit/s and the taps
constexpr int kFirstEchoLag = 10;              // bits: the first lag past the model's feedback taps
constexpr int kEchoTaps = 4;                   // taps on an echo: its two main lags and a lag either side
constexpr std::int32_t kSearchStride = 8;      // adapted bits between two search updates
constexpr std::int32_t kSearchCount = 128;     // search updates per verdict
constexpr double kEchoSigmas = 6.0;            // an echo's c_L in standard errors
constexpr double kMinEchoShare = 0.02;         // its c_L against the amplitude A
constexpr double kEchoPeakRatio = 4.0;         // and against the median |c_L|

struct EchoCanceller {
    struct Design {
        std::int32_t lastLag = kFirstEchoLag;  // lag of kMaxEchoMs, bits

        bool operator==(const Design&) const = default;
    };
    static Design MakeDesign(std::int32_t samplesPerBit);

    explicit EchoCanceller(const Design& d) : design(d) {}

    Design design;
    // Decisions, newest first, 0 before the latest onset.
    DecisionHistory<kEchoSpan> history;
    std::int32_t firstTapLag = 0;  // lag of taps[0], bits; 0: no echo found
    std::array<double, kEchoTaps> taps{};  // h, levels
    // The search: sums of e a_(n-2-L) (index L - kFirstEchoLag) and of e^2.
    std::array<double, kEchoSpan> correlation{};
    double errorEnergy = 0.0;
    std::int32_t searchCount = 0;   // updates summed
    std::int32_t strideLeft = 0;    // adapted bits to the next update

    // The echo's share of the strobe `offset` bits after the one that the
    // newest decision in the history belongs to (offset may be negative).
    double Share(int offset) const
    {
        if (firstTapLag == 0) return 0.0;
        std::array<double, kEchoTaps> terms{};
        for (int i = 0; i < kEchoTaps; ++i) terms[i] = taps[i] * history[firstTapLag + i - offset];
        return TreeSum(terms);
    }

    void Push(double a) { history.Push(a); }

    // The model's error at the strobe one bit before the newest decision
    // (offset -1), adapt as the model's; amplitude A and the LMS step.
    void Learn(double error, double amplitude, double step)
    {
        if (firstTapLag != 0)
            for (int i = 0; i < kEchoTaps; ++i) taps[i] += step * error * history[firstTapLag + i + 1];
        if (--strideLeft > 0) return;
        strideLeft = kSearchStride;
        for (int lag = kFirstEchoLag; lag <= design.lastLag; ++lag)
            correlation[lag - kFirstEchoLag] += error * history[lag + 1];
        errorEnergy += error * error;
        if (++searchCount == kSearchCount) Verdict(amplitude);
    }

    // A signal starts after silence.
    void Onset() { history = {}; }

    bool operator==(const EchoCanceller&) const = default;

private:
    // The search's verdict: the taps move to the strongest echo, if any.
    void Verdict(double amplitude);
};

}  // namespace robust
