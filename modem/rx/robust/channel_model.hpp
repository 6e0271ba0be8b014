#pragma once
// The channel model the decisions are made against, and its adaptation: an
// equaliser by decision feedback that also looks one bit ahead.
//
// Model of a strobe (levels): y_n = z_n - b = sum_k w_k a_(n+1-k) + noise,
// w_0 the next bit's share (pre-cursor), w_1 = A its own, w_2 .. w_9 the
// kFeedbackTaps earlier bits' (the pulse's post-cursor and what the
// channel's filters spread), and c_j T_j(n) the share of the bits before
// those: T_j(n) = rho_j T_j(n-1) + sqrt(1 - rho_j^2) a_(n-K-1), three
// decaying memories of time constants tau_j = kTailBits = 4, 16 and 64
// bits (rho_j = exp(-1 / tau_j); unit power from random bits). An AC
// coupling leaves each bit a long tail of the opposite sign; its time
// constant 1 / (2 pi f zeta) (second order, zeta = 0.71) is 4 bits for
// 300 Hz at 5500 bit/s and 124 bits for 20 Hz at 11000 bit/s, so the three
// span the corners to be met at every rate. b is the baseline. w_0 and w_2
// start at the pulse's own r(T) A (Design::neighbour), the rest and the
// c_j at 0. K = 8 bits spans about two time constants of a 300 Hz
// high-pass's tail at 5500 bit/s (1 / (2 pi 300 zeta) = 0.75 ms = 4.1 bits).
//
// Adaptation, two bits late, when y_(n-2) is known on both sides: error
// e = y_(n-2) - sum_k w_k a_(n-1-k) - sum_j c_j T_j(n-2); then
//   b   += mu_b e + mu_l (z_n - b)
//   w_1 += mu_A e a_(n-2)   (held above kMinAmplitude)
//   w_k += mu_f e a_(n-1-k) (k != 1)
//   c_j += mu_f e T_j(n-2)
// All LMS on regressors of unit power, so their speed does not depend on
// the gain. The model and the decision-directed part of b adapt only on
// bits decided with a margin (PairDetector). While the model is far off,
// as at the onset of a signal through a 300 Hz high-pass, most wrong
// decisions are close calls; fed back, they pull the model toward a wrong
// fit that can last for thousands of bits. On a channel the model fits (at
// 9 dB, say) nearly every bit passes. The c_j adapt only once the onset
// steps (below) are over and never while squelched: a repeated bit charges
// T_j far beyond unit power (to sqrt((1 + rho) / (1 - rho)), 11 at 64
// bits), and together with the onset steps the sum of the steps would pass
// the stability bound. They take up the coupling's tail after the first
// kOnsetBits.
//
// b follows a DC offset and the wander that the tails leave: a first-order
// loop of corner mu_b R / (2 pi) Hz, R bits/s. kBaselineHz = 200, twice the
// highest coupling corner to be met (100 Hz): mu_b = 0.23 / 0.15 / 0.11 at
// R = 5500 / 8250 / 11000. Its estimate adds mu_b / (2 - mu_b) of the noise
// power to the decisions (0.5 / 0.35 / 0.25 dB), the price of following the
// wander. Where there is no wander to follow (a channel without a
// low-frequency edge, or one the tails take up whole) that noise is all
// it adds, so a second baseline b_q with the quieter corner
// kQuietBaselineHz (50 Hz, a quarter of the noise) follows the same error
// taken about it, e + b - b_q; the decisions use whichever of the two
// left the smaller error power over the last kBaselineChoiceBits (1024)
// adapted bits: the quiet one on a flat noisy channel (0.8 / 0.6 / 0.25 dB
// less error at 10 dB SNR, measured at 5500 / 8250 / 11000 bit/s), the
// fast one where a linear-phase band-pass's 300 Hz edge
// rings before the bits, which decision feedback cannot take off. The
// leak mu_l (kBaselineLeakHz = 10 Hz, a 16 ms time constant)
// pulls b toward the plain mean of z: the decision-directed loop alone has
// stable wrong states where all decisions agree (A above the signal); the
// mean of scrambled data is the baseline, so the leak leaves them.
// At the first signal, the decision-directed part waits until the tails
// have had the time constant of their slowest LMS mode to settle after
// the onset steps (Design::baselineHoldBits, kOnsetBits + 1 / (mu_f
// lambda_min) = 128 + 1615 bits, lambda_min = 0.079 the least eigenvalue
// of the tails' correlation E[T_i T_j] = g_i g_j / (1 - rho_i rho_j), g_j
// = sqrt(1 - rho_j^2)); until then the leak alone follows the DC. Being
// the fastest adapter, b would otherwise take up what the unsettled tails
// leave of an AC coupling's tail, and the model could settle into a fit
// where b's wander stands in for the tails, with 12 dB more error and one
// decision in seven unreliable, for thousands of bits (seen through a
// 300 Hz - 3 kHz voice band at 8250 bit/s).
//
// A therefore starts below the signal: at the first signal's onset (P
// rising through the squelch level) the shares restart from the pulse's
// own at half the level P measures, and k bits after it the steps are
// 1 / (k + 1) for A (the mean of the bits so far) and 1 / (K + 2 + k) for
// the other shares (their sum stays below the LMS stability bound
// 2 / (K + 2)), until they come down to mu_A = 1/32 (time constant 32 bits)
// and mu_f = 1/128 (misadjustment about mu_f (K + 4) / 2 = 4.7 % of the
// noise power, 0.2 dB): the model is fitted within the 168-bit preamble.
// Before any signal A is kLowestGain of the synth's level.
// Once fitted, the model is kept from one transmission to the next: the
// pause between them (1 s from our transmitter) changes neither the radio's
// filters nor the sound cards, and a model fitted afresh to each preamble
// through a 300 Hz high-pass loses lines where the fitted one loses none.
// Only the tails restart at 0 at each onset: the channel forgets the bits
// before the silence. While squelched nothing adapts: the noise of the
// pause would pull the shares and b's decision-directed part with it.
//
// Work per bit: three tail filters and 13-coefficient LMS. No allocation.

#include <algorithm>
#include <array>
#include <cstdint>

#include "rx/robust/decision_history.hpp"
#include "rx/robust/echo_canceller.hpp"
#include "rx/robust/pulse.hpp"

namespace robust {

constexpr double kBaselineHz = 200.0;       // baseline loop corner, Hz
constexpr double kBaselineLeakHz = 10.0;    // decision-free pull toward the mean, Hz
constexpr double kQuietBaselineHz = 50.0;   // the quieter baseline's corner, Hz
constexpr double kBaselineChoiceBits = 1024.0;  // the two baselines' error powers' time constant, bits
constexpr double kAmplitudeStep = 1.0 / 32; // amplitude LMS step, per bit
constexpr std::int32_t kOnsetBits = 128;    // 1 / kFeedbackStep
constexpr double kLowestGain = 0.2;         // weakest signal to be met, against the synth's
constexpr int kFeedbackTaps = 8;            // decision feedback, bits after the one decided
constexpr int kTailFilters = 3;             // decaying shares of the bits before those
constexpr double kTailBits[kTailFilters] = {4.0, 16.0, 64.0};  // their time constants, bits
constexpr double kFeedbackStep = 1.0 / 128; // their LMS step, per bit
constexpr double kMinAmplitude = 1.0 / 256; // levels at the strobe: one step of 16-bit input

constexpr int kShares = kFeedbackTaps + 2;
using Shares = std::array<double, kShares>;

struct ChannelModel {
    struct Design {
        double peakGain = 1.0;      // the matched filter's strobe output of one symbol / 50 levels
        double neighbour = 0.0;     // r(T): the next and the last symbol's share of a strobe
        double baselineStep = 0.0;  // mu_b
        double quietBaselineStep = 0.0;  // mu_q, the quieter baseline's
        double leakStep = 0.0;      // mu_l
        std::array<double, kTailFilters> tailPole{};  // rho_j = exp(-1 / tau_j), per bit
        std::array<double, kTailFilters> tailGain{};  // sqrt(1 - rho_j^2): unit power from random bits
        std::int32_t baselineHoldBits = 0;  // adapted bits at the first signal before b's decision-directed part
        EchoCanceller::Design echo;

        bool operator==(const Design&) const = default;
    };
    static Design MakeDesign(const SymbolResponse& r, double peakGain);

    // The pulse's own shares at strobe amplitude A (levels).
    static Shares SharesAt(const Design& design, double amplitude)
    {
        Shares shares{};
        shares[0] = design.neighbour * amplitude;
        shares[1] = amplitude;
        shares[2] = design.neighbour * amplitude;
        return shares;
    }

    explicit ChannelModel(const Design& d)
        : design(d), shares(SharesAt(d, kLowestGain * kSignalLevel * d.peakGain)), echo{d.echo}
    {
    }

    Design design;
    // The two baselines, b_f at kBaselineHz and b_q at kQuietBaselineHz, and
    // the mean error power about each (levels^2).
    std::array<double, 2> baselines{};
    std::array<double, 2> baselineErrorPower{};
    // b, levels: the one of the two that leaves the smaller error.
    double Baseline() const { return baselines[baselineErrorPower[1] <= baselineErrorPower[0] ? 1 : 0]; }
    // w: the symbols' shares of the last strobe y_(n-1), in levels: [0] the
    // bit after it, [1] its own (the amplitude A), [2 ..] the bits before.
    Shares shares;
    // Decisions a, newest (a_n) first.
    DecisionHistory<kShares> decisions;
    // The tail filters' outputs T_j at y_(n-2) (the bits before its
    // feedback span), and their shares c_j in levels.
    std::array<double, kTailFilters> tails{};
    std::array<double, kTailFilters> tailShares{};
    // A second path's share, beyond the tails' reach.
    EchoCanceller echo;
    std::int32_t bitsSinceOnset = kOnsetBits;  // since the last signal onset, up to kOnsetBits
    bool fitted = false;  // whether the shares have been fitted to a signal once
    std::int32_t bitsAdapted = 0;  // since the first onset, up to Design::baselineHoldBits

    // The final bits' share of y_(n-1) and y_n: that of the feedback span,
    // then the tails', which take in the bits that leave that span,
    // a_(n-K-2) and a_(n-K-1).
    struct Prediction {
        double before = 0.0, beforeNext = 0.0;
        std::array<double, kTailFilters> tails{};  // T_j at y_(n-1)
    };
    Prediction Predict() const
    {
        std::array<double, kFeedbackTaps + kTailFilters> termsBefore{};
        std::array<double, kFeedbackTaps - 1 + kTailFilters> termsNext{};
        for (int k = 0; k < kFeedbackTaps; ++k) termsBefore[k] = shares[k + 2] * decisions[k];
        for (int k = 0; k < kFeedbackTaps - 1; ++k) termsNext[k] = shares[k + 3] * decisions[k];
        Prediction p;
        for (int j = 0; j < kTailFilters; ++j) {
            p.tails[j] = design.tailPole[j] * tails[j] + design.tailGain[j] * decisions[kFeedbackTaps];
            const double tailNext = design.tailPole[j] * p.tails[j] + design.tailGain[j] * decisions[kFeedbackTaps - 1];
            termsBefore[kFeedbackTaps + j] = tailShares[j] * p.tails[j];
            termsNext[kFeedbackTaps - 1 + j] = tailShares[j] * tailNext;
        }
        // The echo's, of the strobes one and two bits after a_(n-2).
        p.before = TreeSum(termsBefore) + echo.Share(1);
        p.beforeNext = TreeSum(termsNext) + echo.Share(2);
        return p;
    }

    // A signal has appeared, at relativeLevel of the synth's (P's amplitude).
    void Onset(double relativeLevel)
    {
        if (!fitted) {
            // The first signal: the shares start from the pulse's own, at
            // half the level P measures (the baseline loop is stable while A
            // stays below the signal; noise in P only raises it), and A
            // averages from here.
            shares = SharesAt(design, 0.5 * kSignalLevel * design.peakGain * relativeLevel);
            tailShares = {};
            bitsSinceOnset = 0;
        }
        tails = {};  // the silence has emptied them
        echo.Onset();
    }

    // Decision a = a_(n-1) taken; y_(n-2) (olderY) is now known on both
    // sides: its error against the model adapts the baseline and the shares
    // if adapt. z is the filter output at the newest strobe. Returns e.
    double Learn(double a, double olderY, double z, bool adapt, const Prediction& p)
    {
        decisions.Push(a);
        echo.Push(a);
        // The share of a_(n-1), just decided, is added last: the rest does
        // not wait for the decision.
        std::array<double, kFeedbackTaps + 1 + kTailFilters> termsModel{};
        for (int k = 0; k < kFeedbackTaps + 1; ++k) termsModel[k] = shares[k + 1] * decisions[k + 1];
        for (int j = 0; j < kTailFilters; ++j) termsModel[kFeedbackTaps + 1 + j] = tailShares[j] * tails[j];
        const double model = TreeSum(termsModel) + echo.Share(-1) + shares[0] * a;
        const double error = olderY - model;
        if (adapt && bitsAdapted < design.baselineHoldBits) ++bitsAdapted;
        const bool followBaseline = adapt && Settled();
        const std::array<double, 2> steps{design.baselineStep, design.quietBaselineStep};
        const double used = Baseline();  // the one the error was taken about
        for (std::size_t i = 0; i < baselines.size(); ++i) {
            const double own = error + used - baselines[i];  // the error about this one
            if (followBaseline) baselineErrorPower[i] += (own * own - baselineErrorPower[i]) / kBaselineChoiceBits;
            baselines[i] += (followBaseline ? steps[i] * own : 0.0) + design.leakStep * (z - baselines[i]);
        }
        // k bits after an onset the steps are 1 / (k + 1) for A, the mean of
        // the first bits, and 1 / (K + 2 + k) for the other shares (together
        // they may not exceed 1 / (K + 2) at first, for stability), until
        // they come down to mu_A and mu_f.
        double amplitudeStep = kAmplitudeStep, feedbackStep = kFeedbackStep;
        if (bitsSinceOnset < kOnsetBits) {
            const double k = bitsSinceOnset++;
            fitted = bitsSinceOnset == kOnsetBits;
            amplitudeStep = std::max(amplitudeStep, 1.0 / (k + 1.0));
            feedbackStep = std::max(feedbackStep, 1.0 / (kFeedbackTaps + 2 + k));
        }
        if (adapt) {
            shares[0] += feedbackStep * error * decisions[0];
            shares[1] = std::max(shares[1] + amplitudeStep * error * decisions[1], kMinAmplitude);
            for (int j = 2; j < kFeedbackTaps + 2; ++j) shares[j] += feedbackStep * error * decisions[j];
            // The tails adapt once the shares above have settled (and, as all
            // here, never on the repeated bits of a squelch, which fill them
            // far beyond unit power).
            if (bitsSinceOnset >= kOnsetBits) {
                for (int j = 0; j < kTailFilters; ++j) tailShares[j] += kFeedbackStep * error * tails[j];
                echo.Learn(error, shares[1], kFeedbackStep);
            }
        }
        tails = p.tails;
        return error;
    }

    // The strobe power of the signal the shares were fitted to, levels^2.
    double FittedPower() const
    {
        double power = 0.0;
        for (double share : shares) power += share * share;
        return power;
    }

    // Whether the tails have settled since the first signal (Design::baselineHoldBits).
    bool Settled() const { return bitsAdapted == design.baselineHoldBits; }

    // A new samples-per-bit setting: the shares follow the filter's gain.
    void Rescale(const Design& d)
    {
        const double scale = d.peakGain / design.peakGain;
        design = d;
        for (double& share : shares) share *= scale;
        for (double& share : tailShares) share *= scale;
        // The echo's delay is another number of bits now.
        echo = EchoCanceller{d.echo};
    }

    bool operator==(const ChannelModel&) const = default;
};

}  // namespace robust
