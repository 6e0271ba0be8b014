#pragma once
// Pre-cursor equaliser. A linear-phase band-pass (a radio's voice filter
// made by an FIR) rings before each bit as much as after it: through
// 300 - 3400 Hz the bits two to six ahead add -0.12, -0.15, -0.10, .. of a
// strobe's own share at 5500 bit/s, and -0.28, -0.18, .. at 11000, which
// decisions, made on the bits before, cannot take off; the PairDetector
// sees only the next bit's. A feed-forward filter on the strobes, with the
// strobes ahead of each, takes it off, so that what is left of each bit
// lies behind it, where the ChannelModel's decision feedback takes it off
// (the feed-forward half of a decision-feedback equaliser):
//   q_m = z_m + sum_(j=2..D) f_j z_(m+j) - (1 + sum_j f_j) b,
// z the matched filter's output, b the baseline. The strobe's own tap is
// fixed at 1 and the next bit's at 0, since the model's amplitude and its
// share of the next bit (w_0) stand for those: adapting them as well
// would leave a direction in which the two drift together without end.
// The baseline comes off after the filter, with its value now, so that
// its loop, the fastest here, acts on the decisions at once instead of D
// bits late (a delay it does not stand). The model's timing error takes
// the slope of the strobe's own midpoints, unfiltered: the filter's taps
// are small beside its own, and the slopes of the strobes ahead only add
// noise to it. The decisions and the model run D + 1 bits behind the
// strobes (one more than the taps need, so that the z just stored is not
// read back at once, a load that would wait on its store), and so does
// what the squelch said of each strobe. D spans kLookaheadMs (1 ms, a
// third of the 300 Hz band edge's period, where its ringing has fallen to
// a tenth of a strobe): 6 bits at 5500 bit/s.
//
// Only at 5500 bit/s (kMinSamplesPerBit): at 8250 it took the linear-phase
// filter's rows from 98.1 to 99.7 % in the channel report, but after a
// pause through the 300 Hz - 3 kHz voice band at 25 dB it once lost the
// timing and the fit together (31 % of the rows): the taps, the timing
// loop and the model can still pull one another off, which is to be
// understood before it runs there. At 11000 bit/s its 12 taps would slow
// the receiver below 20 M samples/s, and that rate keeps only 62 % of its
// band through 300 - 3400 Hz: 64 % of the rows clean, 4 % at 25 dB.
//
// LMS on the model's error e at q_m, two bits late as the model learns:
// f_j <- kFeedforwardKeep f_j - mu e (z_(m+j) - b) / P, P the strobes'
// power (Squelch), so that its speed does not depend on the input level;
// mu = kFeedforwardStep (1/512), converging within the first transmission.
// The leak (kFeedforwardKeep) acts as noise 20 dB under the strobes: in
// the channel's stop bands (below 300 Hz, above 3400 Hz) nothing else
// holds the taps, which would wander off. They adapt only while the timing
// does from the model's error (ErrorGradient: the model settled, the
// acquisition over, the signal it was fitted to there): fitted to the
// noise that opens the squelch in a pause, they would greet the next
// transmission with a filter the model has never seen. They are kept from
// one transmission to the next, like the model's shares, and never leave
// +-kMaxTap.
//
// Work per bit: one D-tap filter and D - 1 LMS updates.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "common/samples.hpp"
#include "rx/robust/squelch.hpp"

namespace robust {

constexpr double kLookaheadMs = 1.0;        // the pre-cursor span taken off, ms
constexpr int kMaxLookahead = 8;            // taps the history has room for
constexpr std::int32_t kMinSamplesPerBit = 4;  // no equaliser at fewer (above)
constexpr double kFeedforwardStep = 1.0 / 512;  // mu, per bit, of P
constexpr double kFeedforwardKeep = 1.0 - kFeedforwardStep * 0.01;  // per bit: a leak as noise 20 dB under P
constexpr double kMaxTap = 1.0;  // |f_j| bound, of the strobe's own tap
constexpr std::size_t kFirstTap = 2;  // the next bit's share is the PairDetector's (ChannelModel w_0)

struct Feedforward {
    struct Design {
        std::int32_t lookahead = 0;  // D, bits

        bool operator==(const Design&) const = default;
    };
    static Design MakeDesign(std::int32_t samplesPerBit)
    {
        if (samplesPerBit < kMinSamplesPerBit) return {0};
        const double bits = kLookaheadMs * 1e-3 * kSampleRate / samplesPerBit;
        return {std::min(static_cast<std::int32_t>(std::ceil(bits)), kMaxLookahead)};
    }

    explicit Feedforward(const Design& d) : design(d) {}

    // History, z at the strobes and at the midpoint before each, and the
    // squelch's verdict at each strobe: rings of kHistory, the newest at
    // head; the values are written twice, kHistory apart, so that the ones
    // after any strobe lie in a row.
    static constexpr std::size_t kHistory = 16;
    static_assert(kHistory >= kMaxLookahead + 4);
    Design design;
    std::array<double, 2 * kHistory> strobes{};
    std::array<double, 2 * kHistory> mids{};
    std::array<Squelch::Verdict, kHistory> verdicts{};
    std::size_t head = 0;
    std::array<double, kMaxLookahead> taps{};  // f_1 .. f_D (f_1 stays 0)
    double gain = 1.0;                         // 1 + sum f_j: the filter's at DC

    void Push(double z, double mid, Squelch::Verdict verdict)
    {
        head = (head + 1) % kHistory;
        strobes[head] = strobes[head + kHistory] = z;
        mids[head] = mids[head + kHistory] = mid;
        verdicts[head] = verdict;
    }

    // q at the strobe D + 1 back (one more than the taps need, so that the
    // z just stored is not read back at once, a load that would wait on its
    // store) and the midpoint before it, b the baseline now; the squelch's
    // verdict at that strobe.
    struct Equalised {
        double strobe, mid;
    };
    Equalised Equalise(double b) const
    {
        const std::size_t at = Back(Delay());
        return {strobes[at] - gain * b + Ahead(taps, &strobes[at]), mids[at] - b};
    }
    Squelch::Verdict Verdict() const { return verdicts[Back(Delay()) % kHistory]; }

    // The model's error at q two strobes before Equalise()'s; P, b; whether to adapt.
    void Learn(double error, double power, double b, bool adapt)
    {
        if (!adapt || power <= 0.0) return;
        const double step = kFeedforwardStep * error / power;
        const double* x = &strobes[Back(Delay() + 2)];
        std::array<double, 4> sums{1.0, 0.0, 0.0, 0.0};
        for (std::size_t j = kFirstTap; j <= Lookahead(); ++j) {
            double& tap = taps[j - 1];
            tap = std::clamp(tap * kFeedforwardKeep - step * (x[j] - b), -kMaxTap, kMaxTap);
            sums[j % 4] += tap;
        }
        gain = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    }

    // The strobes slipped half a bit late (HalfBitCheck): the last midpoint
    // is the last strobe, the strobe before it the midpoint before.
    void SlipHalfBit()
    {
        const double strobe = mids[head];
        const double mid = strobes[Back(1)];
        strobes[head] = strobes[head + kHistory] = strobe;
        mids[head] = mids[head + kHistory] = mid;
    }

    bool operator==(const Feedforward&) const = default;

private:
    std::size_t Lookahead() const { return static_cast<std::size_t>(design.lookahead); }
    std::size_t Delay() const { return Lookahead() == 0 ? 0 : Lookahead() + 1; }
    // sum f_j x_j over the taps, x_j j strobes after x_0, in four partial
    // sums: in one chain each add would wait on the one before.
    double Ahead(const std::array<double, kMaxLookahead>& f, const double* x) const
    {
        std::array<double, 4> sums{};
        for (std::size_t j = kFirstTap; j <= Lookahead(); ++j) sums[j % 4] += f[j - 1] * x[j];
        return (sums[0] + sums[1]) + (sums[2] + sums[3]);
    }
    // Where the entry k strobes back is, k < kHistory, in the rings' two
    // copies: the entries after it follow it.
    std::size_t Back(std::size_t k) const { return head + kHistory - k; }
};

}  // namespace robust
