#pragma once
// A receiver for impaired channels, beside the bit-exact ReceiveChain: a
// matched filter, decisions over pairs of bits against an adaptive model of
// the baseline and the neighbouring bits' shares, and symbol timing from a
// Gardner detector in a proportional-plus-integral loop that interpolates
// between samples. The bits go into the same FrameDecoder, so
// lines, picture rows and repaints behave as in ReceiveChain.
//
// Signal model. WaveformSynth renders bit n (symbol a_n = +1 for the high
// level, -1 for the low one) as samples 128 + 50 (g_k a_n + h_k a_(n-1)),
// k = 0 .. N-1, N samples per bit: a linear modulation with the unit pulse
// u = [g_0 .. g_(N-1), h_0 .. h_(N-1)], two bits long. g and h are read off
// the synth's own output for the four bit pairs (PulseOf), never retyped:
//   N = 4: u = [.7 .9 1 1 .3 .1 0 0]   N = 3: u = [.5 .8 1 .5 .2 0]
//   N = 2: u = [1 1.1 0 -.1]
//
// Stages, per sample x (level - 128):
//  1. Matched filter: z = sum u_(2N-1-j) x_(n-j) / sum u, the time-reversed
//     pulse scaled to unit gain at DC, so that a steady level passes
//     unchanged (the baseline is then in sample levels). Best SNR at the
//     strobe for white noise; its output at the peak of one symbol is
//     50 |u|^2 / sum u levels.
//  2. Interpolation: a cubic Lagrange (Farrow) interpolator on z gives z at
//     any instant between the samples, two instants per bit: the strobe and
//     the midpoint. 2N = 4 and 3 samples per bit are well oversampled; at
//     N = 2 the pulse has a zero at half the sample rate, where cubic
//     interpolation is weakest.
//  3. Model of a strobe (levels): y_n = z_n - b = sum_k w_k a_(n+1-k) + noise,
//     w_0 the next bit's share (pre-cursor), w_1 = A its own, w_2 .. w_9 the
//     kFeedbackTaps earlier bits' (the pulse's post-cursor and what the
//     channel's filters spread), and c_j T_j(n) the share of the bits before
//     those: T_j(n) = rho_j T_j(n-1) + sqrt(1 - rho_j^2) a_(n-K-1), three
//     decaying memories of time constants tau_j = kTailBits = 4, 16 and 64
//     bits (rho_j = exp(-1 / tau_j); unit power from random bits). An AC
//     coupling leaves each bit a long tail of the opposite sign; its time
//     constant 1 / (2 pi f zeta) (second order, zeta = 0.71) is 4 bits for
//     300 Hz at 5500 bit/s and 124 bits for 20 Hz at 11000 bit/s, so the
//     three span the corners to be met at every rate. b is the baseline.
//     w_0 and w_2 start at the pulse's own r(T) A (Design::neighbour), the
//     rest and the c_j at 0.
//  4. Decisions, one bit late: at strobe n, a_(n-1) is the first half of
//     the pair (a_(n-1), a_n) whose model fits y_(n-1) and y_n best (four
//     pairs, squared error), the final bits before taken off. This is a
//     two-strobe sequence estimate: it sees the pre-cursor, which a slicer
//     or decision feedback alone cannot (at N = 3, r(T) = 0.19 of the peak).
//  5. Adaptation, two bits late, when y_(n-2) is known on both sides: error
//     e = y_(n-2) - sum_k w_k a_(n-1-k) - sum_j c_j T_j(n-2); then
//       b   += mu_b e + mu_l (z_n - b)
//       w_1 += mu_A e a_(n-2)   (held above kMinAmplitude)
//       w_k += mu_f e a_(n-1-k) (k != 1)
//       c_j += mu_f e T_j(n-2)
//     All LMS on regressors of unit power, so their speed does not depend
//     on the gain. The model and the decision-directed part of b adapt only
//     on bits decided with a margin: the two best pairs' costs apart by at
//     least kReliableMargin (1/4) of the 4 A^2 that separate them on a clean
//     channel. While the model is far off, as at the onset of a signal
//     through a 300 Hz high-pass, most wrong decisions are close calls; fed
//     back, they pull the model toward a wrong fit that can last for
//     thousands of bits. On a channel the model fits (at 9 dB, say) nearly
//     every bit passes. The c_j adapt only once the onset steps (below) are
//     over and never while squelched: a repeated bit charges T_j far beyond
//     unit power (to sqrt((1 + rho) / (1 - rho)), 11 at 64 bits), and
//     together with the onset steps the sum of the steps would pass the
//     stability bound. They take up the coupling's tail after the first
//     kOnsetBits.
//     b follows a DC offset and the wander that the tails leave: a
//     first-order loop of corner mu_b R / (2 pi) Hz, R bits/s.
//     kBaselineHz = 200, twice the highest coupling corner to be met
//     (100 Hz): mu_b = 0.23 / 0.15 / 0.11 at R = 5500 / 8250 / 11000. Its
//     estimate adds mu_b / (2 - mu_b) of the noise power to the decisions
//     (0.5 / 0.35 / 0.25 dB), the price of following the wander.
//     The leak mu_l (kBaselineLeakHz = 10 Hz, a 16 ms time constant) pulls b
//     toward the plain mean of z: the decision-directed loop alone has
//     stable wrong states where all decisions agree (A above the signal);
//     the mean of scrambled data is the baseline, so the leak leaves them.
//     A therefore starts below the signal: at the first signal's onset (P
//     rising through the squelch level, below) the shares restart from the
//     pulse's own at half the level P measures, and k bits after it the steps are
//     1 / (k + 1) for A (the mean of the bits so far) and 1 / (K + 2 + k)
//     for the other shares (their sum stays below the LMS stability bound
//     2 / (K + 2)), until they come down to mu_A = 1/32 (time constant 32
//     bits) and mu_f = 1/128 (misadjustment about mu_f (K + 4) / 2 = 4.7 %
//     of the noise power, 0.2 dB): the model is fitted within the 168-bit
//     preamble. Before any signal A is kLowestGain of the synth's level.
//     K = 8 bits spans about two time constants of a 300 Hz high-pass's
//     tail at 5500 bit/s (1 / (2 pi 300 zeta) = 0.75 ms = 4.1 bits).
//     Once fitted, the model is kept from one transmission to the next:
//     the pause between them (1 s from our transmitter) changes neither
//     the radio's filters nor the sound cards, and a model fitted afresh to
//     each preamble through a 300 Hz high-pass loses lines where the fitted
//     one loses none. Only the tails restart at 0 at each onset: the channel
//     forgets the bits before the silence. While squelched nothing adapts:
//     the noise of the pause would pull the shares, b's decision-directed
//     part and the clock offset with it.
//  6. Timing: Gardner's detector e_t = (y_n - y_(n-1)) y_(n-1/2) / P, P
//     the mean y^2 at the strobes (step mu_A), so that its gain K_p (per
//     bit of timing error) is that of the noise-free signal whatever the
//     channel's gain, and independent of polarity. P needs no decisions, so
//     it is right from the first bits: it rises with step kPowerAttack
//     (1/4: a signal's onset is measured within a few bits, before the
//     loop has moved far) and falls with mu_A. It starts at the synth's level:
//     until it settles the loop is at most as fast as designed. P is held
//     above kMinPowerShare (0.2^2) of the synth's strobe power, the weakest
//     signal to be met: after a silence the first strong bits cannot
//     saturate the detector for long, and noise alone moves the loop little.
//     Below kSquelchShare (3 dB under that floor) there is no signal to
//     decide on: each bit repeats the last, so that silence ends no byte,
//     and the loop coasts at the clock offset it holds. The squelch opens
//     again only above kOpenShare (1.8 dB higher, 1.2 dB under the weakest
//     signal): P's fast attack lifts it on the noise peaks of a pause, and
//     each opening would hand the frame decoder random bits, from which it
//     makes a line every thousand bits or so, each one row out of place.
//     |e_t| is clamped to kMaxTimingError, four times the detector's
//     typical magnitude, against single spikes. K_p is
//     computed from the pulse (MakeDesign): the slope at 0 of
//     sum_j [r(j+t) - r(j-1+t)] r(j-1/2+t) / sum_j r(j)^2, r the matched
//     filter's output for one symbol, peak 1, times in bits, through the
//     same cubic interpolator. The detector is decision-free: it locks
//     before the decisions are right.
//     Loop (Rice, Digital Communications, app. C): per bit
//       d = K1 e_t + I,  I += K2 e_t,
//     and the next strobe comes N (1 - d) samples after this one (NCO gain
//     K0 = 1 bit per bit). With theta = Bn T / (zeta + 1 / (4 zeta)):
//       K_p K1 = 4 zeta theta / (1 + 2 zeta theta + theta^2)
//       K_p K2 = 4 theta^2   / (1 + 2 zeta theta + theta^2)
//     Bn T = kLoopBandwidth = 0.01 (noise bandwidth 1 % of the bit rate: the
//     loop averages over about 1 / (2 Bn T) = 50 bits, and locks within the
//     preamble), zeta = 1/sqrt 2. The integrator holds the clock mismatch
//     in bits per bit; its lock-in range 2 zeta omega_n, omega_n T =
//     2 theta, is about +-4000 ppm; beyond it the loop pulls in within a
//     few lines, and keeps the mismatch from one transmission to the next.
//     It is clamped to kMaxClockOffset, 40,000 ppm, beyond the 30,000 ppm
//     from which even ReceiveChain's resynchronising clock loses most rows:
//     an integrator sitting at its clamp leaves the loop no restoring
//     force, so the clamp stays near the range that can be used.
//     The integrator makes the loop type 2: a constant clock mismatch
//     leaves no timing error, so any mismatch and sampling phase give the
//     same strobe instants relative to the pulse. A strobe moves at most
//     kMaxCorrection per bit, so one noise burst cannot skip a bit.
//     Hang-up: Gardner's detector has a second, unstable zero with the
//     strobes on the bits' edges, where its slope is 0; a signal that
//     starts there keeps the loop near it for tens of bits, deciding on
//     the edges. For kAcquireBits after each onset the squared changes
//     between successive strobes and between successive midpoints are
//     summed: on the middles a change of the bit is a full swing at the
//     strobes and about none at the midpoints, on the edges the other way
//     round; noise adds the same to both. Once the sums hold
//     kPhaseCheckChanges full changes (4 P each), a midpoint sum above
//     kHalfBitRatio times the strobes' moves the strobe half a bit on (the
//     midpoint becomes the strobe); a ratio of 2 jumps only with the
//     strobes more than about a quarter bit off, where the loop would pull
//     them in slowly anyway.
//  7. Bits: a = +1 goes to FrameDecoder::DecodeBit as 1, as ReceiveChain's
//     slicer does; descrambling and NRZI make the polarity irrelevant.
//
// Work per sample: one 8-tap filter (shorter pulses are padded with zeros)
// and a compare; per half bit one cubic interpolation; per bit the four
// pair costs (without branches: the bits are random), three tail filters
// and 13-coefficient LMS. No allocation.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <utility>

#include "common/samples.hpp"
#include "rx/frame_decoder.hpp"
#include "rx/picture_view.hpp"
#include "tx/waveform_synth.hpp"

namespace robust {

constexpr int kMaxTaps = 8;                   // the pulse at 4 samples per bit, 2 bits long
constexpr double kBaselineHz = 200.0;         // baseline loop corner, Hz
constexpr double kBaselineLeakHz = 10.0;      // decision-free pull toward the mean, Hz
constexpr double kAmplitudeStep = 1.0 / 32;   // amplitude LMS step, per bit
constexpr std::int32_t kOnsetBits = 128;      // 1 / kFeedbackStep
constexpr double kLowestGain = 0.2;           // weakest signal to be met, against the synth's
constexpr int kFeedbackTaps = 8;              // decision feedback, bits after the one decided
constexpr int kTailFilters = 3;               // decaying shares of the bits before those
constexpr double kTailBits[kTailFilters] = {4.0, 16.0, 64.0};  // their time constants, bits
constexpr double kFeedbackStep = 1.0 / 128;   // their LMS step, per bit
constexpr double kMinAmplitude = 0.5;         // levels at the strobe
constexpr double kReliableMargin = 0.25;      // cost margin of a decision to adapt on, of the clean one
constexpr double kMinPowerShare = 0.04;       // P floor, of the synth's strobe power: gain 0.2
constexpr double kPowerAttack = 1.0 / 4;      // P's step while the strobes are above it, per bit
constexpr double kSquelchShare = 0.02;        // no decisions below this, 3 dB under that
constexpr double kOpenShare = 0.03;           // and again only above this
constexpr double kLoopBandwidth = 0.01;       // Bn T, timing loop noise bandwidth / bit rate
constexpr double kLoopDamping = 0.70710678118654752;
constexpr double kMaxClockOffset = 0.04;      // bits per bit (40,000 ppm)
constexpr double kMaxCorrection = 0.25;       // bits per bit: a strobe moves at most a quarter bit
constexpr double kMaxTimingError = 4.0;       // |e_t| clamp: one noise spike moves the strobe little
constexpr double kSignalLevel = 50.0;         // synth levels about 128
constexpr std::int32_t kAcquireBits = 128;    // after each onset the half-bit check runs, bits
constexpr double kPhaseCheckChanges = 8.0;    // its window: change energy of 8 full changes (4 P each)
constexpr std::int32_t kPhaseCheckBits = 16;  // and at least the bits random data takes for them
constexpr double kHalfBitRatio = 2.0;         // midpoint change energy over the strobes' for a jump

// y(mu), 0 <= mu < 1, between x0 and x1 (cubic Lagrange, Farrow form).
inline double Cubic(double xm1, double x0, double x1, double x2, double mu)
{
    const double c3 = (x2 - xm1) / 6.0 + (x0 - x1) * 0.5;
    const double c2 = (xm1 + x1) * 0.5 - x0;
    const double c1 = x1 - xm1 / 3.0 - x0 * 0.5 - x2 / 6.0;
    return ((c3 * mu + c2) * mu + c1) * mu + x0;
}

// The sum of terms[First .. First + Count), added as a balanced tree: a
// chain of log2(Count) dependent additions rather than Count, which sets
// the pace of the per-bit loops.
template <std::size_t First, std::size_t Count, std::size_t N>
constexpr double TreeSum(const std::array<double, N>& terms)
{
    if constexpr (Count == 1)
        return terms[First];
    else
        return TreeSum<First, Count / 2>(terms) + TreeSum<First + Count / 2, Count - Count / 2>(terms);
}

template <std::size_t N>
constexpr double TreeSum(const std::array<double, N>& terms)
{
    return TreeSum<0, N>(terms);
}

// What the receiver needs to know about one samples-per-bit setting.
struct Design {
    std::int32_t samplesPerBit = 4;
    std::array<double, kMaxTaps> taps{};  // matched filter, newest sample first
    double peakGain = 1.0;                // strobe output of one symbol / 50 levels
    double tedGain = 1.0;                 // K_p, per bit of timing error
    double k1 = 0.0, k2 = 0.0;            // timing loop gains
    double baselineStep = 0.0;            // mu_b
    double leakStep = 0.0;                // mu_l
    double neighbour = 0.0;               // r(T): the next and the last symbol's share of a strobe
    double strobePower = 1.0;             // mean y^2 at the strobes from the synth, levels^2
    std::array<double, kTailFilters> tailPole{};  // rho_j = exp(-1 / tau_j), per bit
    std::array<double, kTailFilters> tailGain{};  // sqrt(1 - rho_j^2): unit power from random bits

    bool operator==(const Design&) const = default;
};

// The unit pulse u (2N values) from the synth's samples for the four bit pairs.
inline std::array<double, kMaxTaps> PulseOf(std::int32_t samplesPerBit)
{
    double shapes[2][2][4] = {};  // [previous][bit][sample], levels about 128
    SamplesPerBit setting{samplesPerBit};
    WaveformSynth synth(setting);
    for (std::uint32_t previous = 0; previous < 2; ++previous) {
        for (std::uint32_t bit = 0; bit < 2; ++bit) {
            std::uint8_t out[4] = {};
            synth.previousChannelBit = previous;
            synth.SetWriteCursor(out);
            synth.RenderBit(bit);
            for (int k = 0; k < samplesPerBit; ++k) shapes[previous][bit][k] = out[k] - double{kZeroLevel};
        }
    }
    // Channel bit 0 is the high level, symbol +1.
    std::array<double, kMaxTaps> pulse{};
    for (int k = 0; k < samplesPerBit; ++k) {
        const double(&s)[2][2][4] = shapes;
        pulse[k] = (s[0][0][k] - s[0][1][k] + s[1][0][k] - s[1][1][k]) / (4.0 * kSignalLevel);
        pulse[samplesPerBit + k] = (s[0][0][k] + s[0][1][k] - s[1][0][k] - s[1][1][k]) / (4.0 * kSignalLevel);
    }
    return pulse;
}

// Energy of the unit pulse, sum u^2 (samples).
inline double PulseEnergy(std::int32_t samplesPerBit)
{
    double energy = 0.0;
    for (double u : PulseOf(samplesPerBit)) energy += u * u;
    return energy;
}

inline Design MakeDesign(std::int32_t samplesPerBit)
{
    const int n = samplesPerBit;
    const std::array<double, kMaxTaps> pulse = PulseOf(n);
    double sum = 0.0, energy = 0.0;
    for (int k = 0; k < 2 * n; ++k) {
        sum += pulse[k];
        energy += pulse[k] * pulse[k];
    }
    Design d;
    d.samplesPerBit = n;
    // taps[j] multiplies x_(n-j): the pulse reversed.
    for (int j = 0; j < 2 * n; ++j) d.taps[j] = pulse[2 * n - 1 - j] / sum;
    d.peakGain = energy / sum;

    // r: the filter's output for one symbol, peak 1 at index 2N - 1.
    constexpr int kLength = 2 * kMaxTaps - 1;
    double r[kLength] = {};
    for (int i = 0; i < 4 * n - 1; ++i)
        for (int j = 0; j < 2 * n; ++j)
            if (i - j >= 0 && i - j < 2 * n) r[i] += d.taps[j] * pulse[i - j];
    const double peak = r[2 * n - 1];
    const auto at = [&](double samplesFromPeak) {
        const double t = samplesFromPeak + (2 * n - 1);
        const double base = std::floor(t);
        const auto value = [&](int i) { return i >= 0 && i < kLength ? r[i] / peak : 0.0; };
        const int i = static_cast<int>(base);
        return Cubic(value(i - 1), value(i), value(i + 1), value(i + 2), t - base);
    };
    const auto meanError = [&](double offsetSamples) {
        double e = 0.0;
        for (int j = -3; j <= 4; ++j)
            e += (at(j * n + offsetSamples) - at((j - 1) * n + offsetSamples)) * at((j - 0.5) * n + offsetSamples);
        return e;
    };
    constexpr double kStep = 1e-3;  // samples
    // The detector is normalised by the mean strobe power, sum_j r(j)^2 for
    // the noise-free signal.
    double strobePower = 0.0;
    for (int j = -3; j <= 3; ++j) strobePower += at(j * n) * at(j * n);
    d.tedGain = (meanError(kStep) - meanError(-kStep)) / (2.0 * kStep) * n / strobePower;
    d.strobePower = strobePower * (kSignalLevel * d.peakGain) * (kSignalLevel * d.peakGain);

    const double zeta = kLoopDamping;
    const double theta = kLoopBandwidth / (zeta + 1.0 / (4.0 * zeta));
    const double denominator = 1.0 + 2.0 * zeta * theta + theta * theta;
    d.k1 = 4.0 * zeta * theta / denominator / d.tedGain;
    d.k2 = 4.0 * theta * theta / denominator / d.tedGain;
    constexpr double kTwoPi = 6.283185307179586;
    d.baselineStep = kTwoPi * kBaselineHz * n / kSampleRate;
    d.leakStep = kTwoPi * kBaselineLeakHz * n / kSampleRate;
    d.neighbour = at(n);
    for (int j = 0; j < kTailFilters; ++j) {
        d.tailPole[j] = std::exp(-1.0 / kTailBits[j]);
        d.tailGain[j] = std::sqrt(1.0 - d.tailPole[j] * d.tailPole[j]);
    }
    return d;
}

// The designs for 2, 3 and 4 samples per bit, made once.
inline const Design& DesignFor(std::int32_t samplesPerBit)
{
    static const std::array<Design, 3> designs{MakeDesign(2), MakeDesign(3), MakeDesign(4)};
    return designs[static_cast<std::size_t>(std::clamp(samplesPerBit, 2, 4) - 2)];
}

}  // namespace robust

// The last decisions a, newest first, in a ring written twice over, so that
// the newest L are always contiguous: a bit costs two stores, not a shift.
template <int L>
struct DecisionHistory {
    std::array<double, 2 * L> ring{};
    std::int32_t newest = 0;  // index of a_n in ring

    double operator[](int k) const { return ring[static_cast<std::size_t>(newest + k)]; }
    void Push(double a)
    {
        newest = newest == 0 ? L - 1 : newest - 1;
        ring[static_cast<std::size_t>(newest)] = a;
        ring[static_cast<std::size_t>(newest + L)] = a;
    }

    bool operator==(const DecisionHistory&) const = default;
};

// The pulse's own shares at strobe amplitude A (levels).
inline std::array<double, robust::kFeedbackTaps + 2> SharesAt(const robust::Design& design, double amplitude)
{
    std::array<double, robust::kFeedbackTaps + 2> shares{};
    shares[0] = design.neighbour * amplitude;
    shares[1] = amplitude;
    shares[2] = design.neighbour * amplitude;
    return shares;
}

struct RobustReceiverState {
    robust::Design design = robust::DesignFor(kInitialSamplesPerBit);
    std::array<double, robust::kMaxTaps> input{};  // x_n first
    double history[4] = {};                        // filter output z, newest first
    double nextAt = 0.0;    // next interpolant, samples after the newest (-1 .. 1.5 between samples)
    bool midpoint = false;  // whether the next interpolant is a bit's midpoint
    double midValue = 0.0;  // y at the last midpoint
    double previousY = 0.0; // y at the last strobe
    double baseline = 0.0;  // b, levels
    double olderY = 0.0;    // y at the strobe before
    // w: the symbols' shares of the last strobe y_(n-1), in levels: [0] the
    // bit after it, [1] its own (the amplitude A), [2 ..] the bits before.
    std::array<double, robust::kFeedbackTaps + 2> shares =
        SharesAt(design, robust::kLowestGain * robust::kSignalLevel * design.peakGain);
    // Decisions a, newest (a_n) first.
    DecisionHistory<robust::kFeedbackTaps + 2> decisions;
    // The tail filters' outputs T_j at y_(n-2) (the bits before its
    // feedback span), and their shares c_j in levels.
    std::array<double, robust::kTailFilters> tails{};
    std::array<double, robust::kTailFilters> tailShares{};
    double power = 0.0;     // P, mean y^2 at the strobes: no signal yet
    bool squelched = true;  // P below kSquelchShare at the last strobe
    std::int32_t bitsSinceOnset = robust::kOnsetBits;  // since the last signal onset, up to kOnsetBits
    double clockOffset = 0.0;  // I, bits per bit
    double correction = 0.0;   // d, bits per bit for the current bit
    bool reliable = false;     // whether a_(n-1) was decided with kReliableMargin
    bool fitted = false;       // whether the shares have been fitted to a signal once
    std::int32_t bitsHeard = robust::kAcquireBits;  // since the last onset, up to kAcquireBits
    double previousMid = 0.0;                       // y at the midpoint before the last
    double strobeChange = 0.0, midChange = 0.0;     // sum of squared changes, this check's window
    std::int32_t windowBits = 0;                    // bits in that window

    bool operator==(const RobustReceiverState&) const = default;
};

// "dc-offset / max / min" for FormatLevelLine: the baseline and the two
// levels that steady runs of either bit would settle on, in sample levels.
struct RobustLevels {
    double dcLevel;
    double peakLevel;
    double troughLevel;
};

template <class LineSink = PictureView>
class RobustReceiver {
public:
    explicit RobustReceiver(LineSink& sink) : decoder(sink), sink_(sink) {}
    RobustReceiver(const RobustReceiver&) = delete;
    RobustReceiver& operator=(const RobustReceiver&) = delete;

    FrameDecoder<LineSink> decoder;
    RobustReceiverState state;

    // Samples per bit of the samples that follow: 2, 3 or 4. The loops keep
    // their state; the clock offset is in bits per bit at any setting.
    void SetSamplesPerBit(std::int32_t samplesPerBit)
    {
        if (samplesPerBit == state.design.samplesPerBit) return;
        const double scale = robust::DesignFor(samplesPerBit).peakGain / state.design.peakGain;
        state.design = robust::DesignFor(samplesPerBit);
        for (double& share : state.shares) share *= scale;
        for (double& share : state.tailShares) share *= scale;
        state.power *= scale * scale;
    }

    void Receive(std::span<const std::uint8_t> samples)
    {
        // Local copies, as in ReceiveChain: the line's byte stores could
        // alias the members.
        FrameDecoder<LineSink> localDecoder(sink_, decoder);
        RobustReceiverState s = state;
        for (std::uint8_t sample : samples) Step(s, localDecoder, sample);
        static_cast<FrameDecoderState&>(decoder) = localDecoder;
        state = s;
    }

    RobustLevels Levels() const
    {
        const double dc = kZeroLevel + state.baseline;
        const double swing = state.shares[1] / state.design.peakGain;
        return {dc, dc + swing, dc - swing};
    }

private:
    static void Step(RobustReceiverState& s, FrameDecoder<LineSink>& out, std::uint8_t sample)
    {
        for (int j = robust::kMaxTaps - 1; j > 0; --j) s.input[j] = s.input[j - 1];
        s.input[0] = static_cast<double>(sample) - kZeroLevel;
        double z = 0.0;
        for (int j = 0; j < robust::kMaxTaps; ++j) z += s.design.taps[j] * s.input[j];
        s.history[3] = s.history[2];
        s.history[2] = s.history[1];
        s.history[1] = s.history[0];
        s.history[0] = z;
        // Interpolants between history[2] and history[1]: nextAt in -2 .. -1.
        s.nextAt -= 1.0;
        while (s.nextAt < -1.0) {
            const double mu = std::max(s.nextAt + 2.0, 0.0);
            const double y =
                robust::Cubic(s.history[3], s.history[2], s.history[1], s.history[0], mu) - s.baseline;
            if (s.midpoint)
                s.midValue = y;
            else
                Strobe(s, out, y);
            s.midpoint = !s.midpoint;
            s.nextAt += 0.5 * s.design.samplesPerBit * (1.0 - s.correction);
        }
    }

    // Whether the strobes sit nearer the bits' edges than their middles,
    // from the change energies between successive strobes and between
    // successive midpoints over a window after an onset; the window ends
    // once kPhaseCheckChanges full changes' worth has been seen, so that
    // runs of equal bits (no change at either) decide nothing, and not
    // before kPhaseCheckBits, so that P's rise at the onset does not end it
    // after a bit or two.
    static bool HalfBitLate(RobustReceiverState& s, double y, bool onset, bool squelched)
    {
        const auto startWindow = [&s] {
            s.strobeChange = 0.0;
            s.midChange = 0.0;
            s.windowBits = 0;
        };
        if (onset) {
            s.bitsHeard = 0;
            startWindow();
        }
        bool late = false;
        if (s.bitsHeard < robust::kAcquireBits && !squelched) {
            ++s.bitsHeard;
            ++s.windowBits;
            s.strobeChange += (y - s.previousY) * (y - s.previousY);
            s.midChange += (s.midValue - s.previousMid) * (s.midValue - s.previousMid);
            if (s.windowBits >= robust::kPhaseCheckBits &&
                s.strobeChange + s.midChange >= robust::kPhaseCheckChanges * 4.0 * s.power) {
                late = s.midChange > robust::kHalfBitRatio * s.strobeChange;
                startWindow();
            }
        }
        s.previousMid = s.midValue;
        return late;
    }

    static void Strobe(RobustReceiverState& s, FrameDecoder<LineSink>& out, double y)
    {
        using robust::kFeedbackTaps;
        using robust::kTailFilters;
        const double z = y + s.baseline;
        // The last bit, a_(n-1), is decided now, with this strobe y_n as
        // look-ahead: of the four pairs (a_(n-1), a_n), the one whose model
        // fits y_(n-1) and y_n best. The bits before are final; their shares
        // are taken off both strobes.
        const std::array<double, kFeedbackTaps + 2>& w = s.shares;
        // Their terms at y_(n-1) and y_n: the shares' of the feedback span,
        // then the tails', which take in the bits that leave that span,
        // a_(n-K-2) and a_(n-K-1).
        std::array<double, kFeedbackTaps + kTailFilters> termsBefore{};
        std::array<double, kFeedbackTaps - 1 + kTailFilters> termsNext{};
        for (int k = 0; k < kFeedbackTaps; ++k) termsBefore[k] = w[k + 2] * s.decisions[k];
        for (int k = 0; k < kFeedbackTaps - 1; ++k) termsNext[k] = w[k + 3] * s.decisions[k];
        std::array<double, kTailFilters> tailsBefore{};
        for (int j = 0; j < kTailFilters; ++j) {
            tailsBefore[j] = s.design.tailPole[j] * s.tails[j] + s.design.tailGain[j] * s.decisions[kFeedbackTaps];
            const double tailNext =
                s.design.tailPole[j] * tailsBefore[j] + s.design.tailGain[j] * s.decisions[kFeedbackTaps - 1];
            termsBefore[kFeedbackTaps + j] = s.tailShares[j] * tailsBefore[j];
            termsNext[kFeedbackTaps - 1 + j] = s.tailShares[j] * tailNext;
        }
        const double before = robust::TreeSum(termsBefore), beforeNext = robust::TreeSum(termsNext);
        // Below the weakest signal to be met the bit repeats: silence decodes
        // as a steady level, which ends no byte, rather than as whatever the
        // adapting model makes of it.
        const double squelchLevel = s.squelched ? robust::kOpenShare : robust::kSquelchShare;
        const bool squelched = s.power < squelchLevel * s.design.strobePower;
        const bool onset = s.squelched && !squelched;
        if (onset && !s.fitted) {
            // The first signal has appeared: the shares start from the pulse's own,
            // at half the level P measures (the baseline loop is stable while
            // A stays below the signal; noise in P only raises it), and A
            // averages from here (below).
            s.shares = SharesAt(s.design, 0.5 * robust::kSignalLevel * s.design.peakGain *
                                              std::sqrt(s.power / s.design.strobePower));
            s.tailShares = {};
            s.bitsSinceOnset = 0;
        }
        if (onset) s.tails = {};  // the silence has emptied them
        const bool halfBitLate = HalfBitLate(s, y, onset, squelched);
        s.squelched = squelched;
        const auto cost = [&](double last, double next) {
            const double e1 = s.previousY - w[0] * next - w[1] * last - before;
            const double e2 = y - w[1] * next - w[2] * last - beforeNext;
            return e1 * e1 + e2 * e2;
        };
        // Branch-free: the bits are random, a branch per pair would be
        // mispredicted half the time. A tie goes to +1.
        const double bestHigh = std::min(cost(1.0, 1.0), cost(1.0, -1.0));
        const double bestLow = std::min(cost(-1.0, 1.0), cost(-1.0, -1.0));
        const double decided = bestLow < bestHigh ? -1.0 : 1.0;
        const double a = squelched ? s.decisions[0] : decided;
        const bool reliable = s.reliable;  // a_(n-2)'s, the bit adapted on below
        s.reliable = std::abs(bestLow - bestHigh) >= robust::kReliableMargin * 4.0 * w[1] * w[1];
        s.decisions.Push(a);

        // y_(n-2) is now known on both sides: its error against the model
        // adapts the baseline and the shares.
        // The share of a_(n-1), just decided, is added last: the rest does
        // not wait for the decision.
        std::array<double, kFeedbackTaps + 1 + kTailFilters> termsModel{};
        for (int k = 0; k < kFeedbackTaps + 1; ++k) termsModel[k] = w[k + 1] * s.decisions[k + 1];
        for (int j = 0; j < kTailFilters; ++j) termsModel[kFeedbackTaps + 1 + j] = s.tailShares[j] * s.tails[j];
        const double model = robust::TreeSum(termsModel) + w[0] * a;
        const double error = s.olderY - model;
        const bool adapt = reliable && !squelched;  // no signal, nothing to learn
        s.baseline += (adapt ? s.design.baselineStep * error : 0.0) + s.design.leakStep * (z - s.baseline);
        // k bits after an onset the steps are 1 / (k + 1) for A, the mean of
        // the first bits, and 1 / (K + 2 + k) for the other shares (together
        // they may not exceed 1 / (K + 2) at first, for stability), until
        // they come down to mu_A and mu_f.
        double amplitudeStep = robust::kAmplitudeStep, feedbackStep = robust::kFeedbackStep;
        if (s.bitsSinceOnset < robust::kOnsetBits) {
            const double k = s.bitsSinceOnset++;
            s.fitted = s.bitsSinceOnset == robust::kOnsetBits;
            amplitudeStep = std::max(amplitudeStep, 1.0 / (k + 1.0));
            feedbackStep = std::max(feedbackStep, 1.0 / (kFeedbackTaps + 2 + k));
        }
        if (adapt) {
            s.shares[0] += feedbackStep * error * s.decisions[0];
            s.shares[1] = std::max(s.shares[1] + amplitudeStep * error * s.decisions[1], robust::kMinAmplitude);
            for (int j = 2; j < kFeedbackTaps + 2; ++j) s.shares[j] += feedbackStep * error * s.decisions[j];
            // The tails adapt once the shares above have settled (and, as all
            // here, never on the repeated bits of a squelch, which fill them
            // far beyond unit power).
            if (s.bitsSinceOnset >= robust::kOnsetBits)
                for (int j = 0; j < kTailFilters; ++j) s.tailShares[j] += robust::kFeedbackStep * error * s.tails[j];
        }
        s.tails = tailsBefore;

        s.power += (y * y > s.power ? robust::kPowerAttack : robust::kAmplitudeStep) * (y * y - s.power);
        const double normalisation = std::max(s.power, robust::kMinPowerShare * s.design.strobePower);
        const double ted = std::clamp((y - s.previousY) * s.midValue / normalisation, -robust::kMaxTimingError,
                                      robust::kMaxTimingError);
        s.olderY = s.previousY;
        s.previousY = y;
        if (halfBitLate) {
            // The midpoint just past becomes the last strobe, this strobe the
            // midpoint, and the next interpolant, half a bit on, a strobe.
            std::swap(s.previousY, s.midValue);
            s.previousMid = s.midValue;
            s.midpoint = true;
        }
        const double k1 = squelched ? 0.0 : s.design.k1, k2 = squelched ? 0.0 : s.design.k2;  // coasting
        s.clockOffset = std::clamp(s.clockOffset + k2 * ted, -robust::kMaxClockOffset, robust::kMaxClockOffset);
        s.correction = std::clamp(k1 * ted + s.clockOffset, -robust::kMaxCorrection, robust::kMaxCorrection);
        out.DecodeBit(a > 0.0 ? 1 : 0);
    }

    LineSink& sink_;
};
