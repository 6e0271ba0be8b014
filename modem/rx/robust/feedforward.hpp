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
// bits late (a delay it does not stand). The midpoints pass through the
// same taps, for the model's timing error. The decisions and the model run
// D bits behind the strobes, and so does what the squelch said of each
// strobe. D spans kLookaheadMs (1 ms, a third of the 300 Hz band edge's
// period, where its ringing has fallen to a tenth of a strobe): 6, 8 and
// 12 bits at 5500, 8250 and 11000 bit/s.
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
// Work per bit: two D-tap filters and D - 1 LMS updates.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "common/samples.hpp"
#include "rx/robust/squelch.hpp"

namespace robust {

constexpr double kLookaheadMs = 1.0;        // the pre-cursor span taken off, ms
constexpr int kMaxLookahead = 12;           // D at 11000 bit/s
constexpr double kFeedforwardStep = 1.0 / 512;  // mu, per bit, of P
constexpr double kFeedforwardKeep = 1.0 - kFeedforwardStep * 0.01;  // per bit: a leak as noise 20 dB under P
constexpr double kMaxTap = 1.0;  // |f_j| bound, of the strobe's own tap
constexpr int kFirstTap = 2;  // the next bit's share is the PairDetector's (ChannelModel w_0)

struct Feedforward {
    struct Design {
        std::int32_t lookahead = 0;  // D, bits

        bool operator==(const Design&) const = default;
    };
    static Design MakeDesign(std::int32_t samplesPerBit)
    {
        const double bits = kLookaheadMs * 1e-3 * kSampleRate / samplesPerBit;
        return {std::min(static_cast<std::int32_t>(std::ceil(bits)), kMaxLookahead)};
    }

    explicit Feedforward(const Design& d) : design(d) {}

    // History, newest first: z at the strobes, at the midpoint before each,
    // and the squelch's verdict at each strobe.
    static constexpr int kHistory = kMaxLookahead + 3;
    Design design;
    std::array<double, kHistory> strobes{};
    std::array<double, kHistory> mids{};
    std::array<Squelch::Verdict, kMaxLookahead + 1> verdicts{};
    std::array<double, kMaxLookahead> taps{};  // f_1 .. f_D (f_1 stays 0)

    void Push(double y, double mid, Squelch::Verdict verdict)
    {
        std::copy_backward(strobes.begin(), strobes.end() - 1, strobes.end());
        std::copy_backward(mids.begin(), mids.end() - 1, mids.end());
        std::copy_backward(verdicts.begin(), verdicts.end() - 1, verdicts.end());
        strobes[0] = y;
        mids[0] = mid;
        verdicts[0] = verdict;
    }

    // q at the strobe D bits back and at the midpoint before it, b the
    // baseline now; the squelch's verdict at that strobe.
    double Strobe(double b) const { return Apply(strobes) - b * Gain(); }
    double Mid(double b) const { return Apply(mids) - b * Gain(); }
    Squelch::Verdict Verdict() const { return verdicts[static_cast<std::size_t>(design.lookahead)]; }

    // The model's error at q two strobes before Strobe()'s; P, b; whether to adapt.
    void Learn(double error, double power, double b, bool adapt)
    {
        if (!adapt || power <= 0.0) return;
        const double step = kFeedforwardStep * error / power;
        const std::int32_t at = design.lookahead + 2;
        for (std::int32_t j = kFirstTap; j <= design.lookahead; ++j) {
            double& tap = taps[static_cast<std::size_t>(j - 1)];
            tap = std::clamp(tap * kFeedforwardKeep - step * (strobes[static_cast<std::size_t>(at - j)] - b), -kMaxTap, kMaxTap);
        }
    }

    // The strobes slipped half a bit late (HalfBitCheck): the last midpoint
    // is the last strobe, the strobe before it the midpoint before.
    void SlipHalfBit()
    {
        strobes[0] = mids[0];
        mids[0] = strobes[1];
    }

    bool operator==(const Feedforward&) const = default;

private:
    double Gain() const
    {
        double sum = 1.0;
        for (std::int32_t j = kFirstTap; j <= design.lookahead; ++j) sum += taps[static_cast<std::size_t>(j - 1)];
        return sum;
    }
    double Apply(const std::array<double, kHistory>& values) const
    {
        const std::int32_t at = design.lookahead;
        double q = values[static_cast<std::size_t>(at)];
        for (std::int32_t j = kFirstTap; j <= at; ++j) q += taps[static_cast<std::size_t>(j - 1)] * values[static_cast<std::size_t>(at - j)];
        return q;
    }
};

}  // namespace robust
