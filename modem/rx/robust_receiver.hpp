#pragma once
// A receiver for impaired channels, beside the bit-exact ReceiveChain, as a
// chain of the DSP blocks in rx/robust/ (each with its design and units):
// per sample x (level - 128)
//  1. MatchedFilter: z, unit gain at DC.
//  2. Interpolator: z at two instants per bit, the strobe and the midpoint;
//     y = z - b, b the baseline.
//  3. Squelch: whether there is a signal to decide on (P, the mean y^2 at
//     the strobes, against the synth's level and the channel's noise, or
//     a preamble's flags that the RateFinder sees at this rate, whatever
//     the level), and its onset, where the model's tails (and before the
//     first fit, its shares) restart.
//  4. Feedforward (at 5500 bit/s): the strobe 7 bits back with the
//     pre-cursors of the 6 bits after it taken off, q (elsewhere q = y);
//     steps 5 to 7 work on q and on what the squelch said of it.
//  5. ChannelModel::Predict: the final bits' share of the last two q,
//     an echo's (EchoCanceller) among them.
//  6. PairDetector: a_(n-1) from the pair of bits that fits q_(n-1) and q_n
//     best, one bit late.
//  7. ChannelModel::Learn: baseline and shares by LMS on q_(n-2); so do
//     the Feedforward's taps, while the model's error gives timing too.
//  8. TimingDetector (Gardner on y, normalised by P), HalfBitCheck against
//     the detector's hang-up, ErrorGradient (the model's error against y's
//     slope there, once the model has settled) and TimingLoop (PI): the next
//     strobe instant.
//  9. FrameLayer: a = +1 goes in as 1, as ReceiveChain's slicer hands its
//     bits to FrameDecoder (descrambling and NRZI make the polarity
//     irrelevant); each line is placed in its row by its position after
//     the start byte, so the picture rows and repaints are those of
//     ReceiveChain on a clean channel, and a lost line costs one row.
// The signal model is in rx/robust/pulse.hpp. Work per sample: one 8-tap
// filter and a compare; per half bit one cubic interpolation; per bit the
// feed-forward's filter and LMS (6 taps, at 5500 bit/s), the
// four pair costs (without branches: the bits are random), three tail
// filters, 13-coefficient LMS and 4 echo taps; per 8 bits the echo search's
// pass over its lags; per 64 samples the rate finder's word, sliced both
// by level and by edges.
// No allocation but a few bytes at each preamble found.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>

#include "common/samples.hpp"
#include "rx/finder_level.hpp"
#include "rx/rate_finder.hpp"
#include "rx/robust/channel_model.hpp"
#include "rx/robust/design.hpp"
#include "rx/robust/error_gradient.hpp"
#include "rx/robust/feedforward.hpp"
#include "rx/robust/frame_layer.hpp"
#include "rx/robust/half_bit_check.hpp"
#include "rx/robust/interpolator.hpp"
#include "rx/robust/matched_filter.hpp"
#include "rx/robust/pair_detector.hpp"
#include "rx/robust/squelch.hpp"
#include "rx/robust/timing_detector.hpp"
#include "rx/robust/timing_loop.hpp"

struct RobustReceiverState {
    robust::MatchedFilter filter{robust::DesignFor(kInitialSamplesPerBit).filter};
    robust::Interpolator interpolator{robust::DesignFor(kInitialSamplesPerBit).samplesPerBit};
    robust::ChannelModel model{robust::DesignFor(kInitialSamplesPerBit).model};
    robust::PairDetector detector;
    robust::Squelch squelch{robust::DesignFor(kInitialSamplesPerBit).squelch};
    robust::HalfBitCheck phaseCheck;
    robust::TimingLoop loop{robust::DesignFor(kInitialSamplesPerBit).loop};
    robust::ErrorGradient gradient{robust::DesignFor(kInitialSamplesPerBit).gradient};
    robust::Feedforward feedforward{robust::DesignFor(kInitialSamplesPerBit).feedforward};
    double midValue = 0.0;   // y at the last midpoint
    double previousY = 0.0;  // y at the last strobe
    double previousQ = 0.0;  // q at the last strobe
    double olderQ = 0.0;     // q at the strobe before
    // Flags at the receiver's rate open the squelch (Squelch::FlagsFound);
    // sliced by edges too, for the AC-coupled channels the receiver is for.
    RateFinder flags{true};
    FinderLevel finderLevel;  // its samples from full-resolution ones
    std::int32_t wordFill = 0;  // samples into the finder's current word of 64

    bool operator==(const RobustReceiverState&) const = default;
};

// "dc-offset / max / min" for LevelLine: the baseline and the two
// levels that steady runs of either bit would settle on, in sample levels.
struct RobustLevels {
    double dcLevel;
    double peakLevel;
    double troughLevel;
};

template <class LineSink>
class RobustReceiver {
public:
    explicit RobustReceiver(LineSink& sink) : decoder(sink), sink_(sink) {}
    RobustReceiver(const RobustReceiver&) = delete;
    RobustReceiver& operator=(const RobustReceiver&) = delete;

    // Lines into rows; linesSinceStart counts the rows placed since the
    // latest start byte.
    robust::FrameLayer<LineSink> decoder;
    RobustReceiverState state;

    // Samples per bit of the samples that follow: 2, 3 or 4. The loops keep
    // their state; the clock offset is in bits per bit at any setting.
    void SetSamplesPerBit(std::int32_t samplesPerBit)
    {
        const robust::Design& design = robust::DesignFor(samplesPerBit);
        if (design.samplesPerBit == state.interpolator.samplesPerBit) return;
        const double scale = design.filter.peakGain / state.filter.design.peakGain;
        state.filter.design = design.filter;
        state.interpolator.samplesPerBit = design.samplesPerBit;
        state.model.Rescale(design.model);
        state.squelch.design = design.squelch;
        state.squelch.power *= scale * scale;
        state.loop.design = design.loop;
        state.gradient.design = design.gradient;
        // Another number of bits ahead.
        state.feedforward = robust::Feedforward{design.feedforward};
    }

    // Unsigned 8-bit samples, 128 the zero level.
    void Receive(std::span<const std::uint8_t> samples)
    {
        ReceiveLevels(samples, [](std::uint8_t sample) { return static_cast<double>(sample) - kZeroLevel; });
    }

    // Full resolution where the input has it: signed 16-bit samples, and
    // float samples of full scale 1. The levels stay those of 8-bit input
    // (full scale 128), so the level line reads the same.
    void Receive(std::span<const std::int16_t> samples)
    {
        ReceiveLevels(samples, [](std::int16_t sample) { return sample / 256.0; });
    }
    void Receive(std::span<const float> samples)
    {
        ReceiveLevels(samples, [](float sample) { return static_cast<double>(sample) * 128.0; });
    }

    RobustLevels Levels() const
    {
        const double dc = kZeroLevel + state.model.Baseline();
        const double swing = state.model.shares[1] / state.filter.design.peakGain;
        return {dc, dc + swing, dc - swing};
    }

private:
    template <class Sample, class ToLevel>
    void ReceiveLevels(std::span<const Sample> samples, ToLevel toLevel)
    {
        // Local copies, as in ReceiveChain: the line's byte stores could
        // alias the members.
        robust::FrameLayer<LineSink> localDecoder(sink_, decoder);
        RobustReceiverState s = state;
        // The finder takes the samples word by word as they are counted from
        // the first, and its verdict applies from the end of its word: where
        // the squelch opens does not depend on how the input is cut.
        std::array<std::uint8_t, 64> eightBit{};
        while (!samples.empty()) {
            const auto count = std::min<std::size_t>(samples.size(), 64 - static_cast<std::size_t>(s.wordFill));
            const std::span<const Sample> part = samples.first(count);
            for (std::size_t i = 0; i < count; ++i) {
                const double x = toLevel(part[i]);
                Step(s, localDecoder, x);
                // A quiet signal reaches the finder levelled.
                if constexpr (!std::is_same_v<Sample, std::uint8_t>) eightBit[i] = s.finderLevel.Sample(x / 128.0);
            }
            if constexpr (std::is_same_v<Sample, std::uint8_t>)
                s.flags.Find(part);
            else
                s.flags.Find(std::span<const std::uint8_t>(eightBit.data(), count));
            s.wordFill = static_cast<std::int32_t>((s.wordFill + count) % 64);
            for (const RateFinder::Preamble& preamble : s.flags.found)
                if (preamble.samplesPerBit == s.interpolator.samplesPerBit) s.squelch.FlagsFound();
            s.flags.found.clear();
            samples = samples.subspan(count);
        }
        static_cast<robust::FrameLayerState&>(decoder) = localDecoder;
        state = s;
    }

    // x: the sample's level about the zero level, in 8-bit levels.
    static void Step(RobustReceiverState& s, robust::FrameLayer<LineSink>& out, double x)
    {
        s.interpolator.Push(s.filter.Filter(x));
        while (s.interpolator.Due()) {
            const double y = s.interpolator.Value() - s.model.Baseline();
            if (s.interpolator.midpoint)
                s.midValue = y;
            else
                Strobe(s, out, y);
            s.interpolator.Advance(s.loop.correction);
        }
    }

    static void Strobe(RobustReceiverState& s, robust::FrameLayer<LineSink>& out, double y)
    {
        const double z = y + s.model.Baseline();
        const robust::Squelch::Verdict now = s.squelch.Decide();
        const bool halfBitLate = s.phaseCheck.Late(y, s.previousY, s.midValue, s.squelch.power, now.onset, now.squelched);
        // Decisions on the equalised strobe D bits back, with what the
        // squelch said of it.
        s.feedforward.Push(z, s.midValue + s.model.Baseline(), now);
        const robust::Feedforward::Equalised q = s.feedforward.Equalise(s.model.Baseline());
        const auto [squelched, onset, byFlags] = s.feedforward.Verdict();
        if (onset) {
            s.model.Onset(s.squelch.RelativeLevel());
            out.Onset(byFlags);
        }
        const robust::ChannelModel::Prediction prediction = s.model.Predict();
        const robust::PairDetector::Decision decision = s.detector.Decide(s.model.shares, prediction, s.previousQ, q.strobe);
        // Below the weakest signal to be met the bit repeats: silence decodes
        // as a steady level, which ends no byte, rather than as whatever the
        // adapting model makes of it; and nothing adapts to the noise.
        const double a = squelched ? s.model.decisions[0] : decision.bit;
        const bool adapt = decision.olderReliable && !squelched;
        const double modelError = s.model.Learn(a, s.olderQ, z, adapt, prediction);
        const double gardner = robust::TimingDetector::Error(y, s.previousY, s.midValue, s.squelch.Measure(y));
        // Timing from the model's error as well, once it is settled and the
        // acquisition is over, while the signal it was fitted to is there.
        const bool holding = s.model.Settled() && s.phaseCheck.bitsHeard == robust::kAcquireBits &&
                             s.squelch.power >= robust::kFittedPowerShare * s.model.FittedPower();
        const double gradient = s.gradient.Error(modelError, q.mid, holding && adapt);
        s.feedforward.Learn(modelError, s.squelch.power, s.model.Baseline(), holding && adapt);
        const double ted = holding ? (1.0 - robust::kGradientShare) * gardner +
                                         robust::kGradientShare * s.gradient.design.scale * gradient
                                   : gardner;
        s.olderQ = s.previousQ;
        s.previousQ = q.strobe;
        s.previousY = y;
        if (halfBitLate) {
            // The midpoint just past becomes the last strobe, this strobe the
            // midpoint, and the next interpolant, half a bit on, a strobe.
            std::swap(s.previousY, s.midValue);
            s.phaseCheck.previousMid = s.midValue;
            s.feedforward.SlipHalfBit();
            s.previousQ = s.feedforward.Equalise(s.model.Baseline()).strobe;
            s.interpolator.SlipHalfBit();
        }
        s.loop.Update(ted, now.squelched);
        out.DecodeBit(a > 0.0 ? 1 : 0);
    }

    LineSink& sink_;
};
