// Any samples into the receiver. Input: one control byte, one chunking byte,
// then the samples.
//   control bits 0-1: samples per bit at the start (0 and 3: 4, 1: 3, 2: 2)
//   control bits 2-3: samples per bit after the switch, coded the same way
//   control bits 4-7: k = 0 never switches, else the switch comes after
//                     k/16 of the samples
// The samples go into two of each receiver, the exact and the robust one,
// and of the bit-rate finder:
// one takes each part in a single Receive, the other in chunks whose lengths
// follow from the chunking byte (as a sound card's buffers would cut them).
// Both must store the same lines and end in the same state: Receive works
// on copies of the state, and a field not copied back would show here. The
// line sink checks the picture row.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "rx/picture_view.hpp"
#include "rx/rate_finder.hpp"
#include "rx/receive_chain.hpp"
#include "rx/robust_receiver.hpp"

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "receive_chain_fuzzer: %s\n", what);
    std::abort();
}

void Check(bool holds, const char* what)
{
    if (!holds) Fail(what);
}

// The received picture, checked at every line, with a digest of every line
// and row reset it was handed, in order.
class CheckedView {
public:
    void StoreLine(const PictureLine& line)
    {
        Check(view.pictureRow >= 0 && view.pictureRow < kPictureHeight, "picture row out of range before a line");
        view.StoreLine(line);
        Check(view.pictureRow >= 0 && view.pictureRow < kPictureHeight, "picture row out of range after a line");
        for (std::uint8_t value : line) Mix(value);
        ++lines;
    }
    void ResetPictureRow()
    {
        view.ResetPictureRow();
        Mix(0x100);
        ++resets;
    }

    PictureView view;
    std::uint64_t digest = 14695981039346656037ull;
    long lines = 0;
    long resets = 0;

private:
    void Mix(unsigned value) { digest = (digest ^ value) * 1099511628211ull; }
};

using Chain = ReceiveChain<CheckedView>;
using Robust = RobustReceiver<CheckedView>;

std::int32_t SamplesPerBitOf(unsigned code)
{
    static constexpr std::int32_t kCodes[4] = {4, 3, 2, 4};
    return kCodes[code & 3u];
}

// The ranges the stages keep their counters in; beyond them a count could
// overflow or a line column index past the line buffer.
void CheckDecoder(const FrameDecoderState& d)
{
    Check(d.runLength >= 0 && d.runLength <= 8, "run length out of range");
    Check(d.bitCount >= 0 && d.bitCount < 8, "bit count out of range");
    Check(d.lineColumn >= 0 && d.lineColumn <= kPictureWidth + 1, "line column out of range");
    Check(d.linesSinceStart >= 0 && d.linesSinceStart <= kPictureHeight + 1, "lines since start out of range");
    Check(d.flagSeen == 0 || d.flagSeen == 1, "flag seen not 0 or 1");
    Check(d.previousLevel == 0 || d.previousLevel == 1, "previous level not 0 or 1");
}

void CheckDecoder(const robust::FrameLayerState& d)
{
    Check(d.runLength >= 0 && d.runLength <= robust::kLongestRun, "run length out of range");
    Check(d.bitCount >= 0 && d.bitCount < 8, "bit count out of range");
    Check(d.lineColumn >= 0 && d.lineColumn <= kPictureWidth, "line column out of range");
    Check(d.linesSinceStart >= 0 && d.linesSinceStart <= kPictureHeight, "rows since start out of range");
    Check(d.row >= -1 && d.row < kPictureHeight, "row out of range");
    Check(d.pendingLines >= 0 && d.pendingLines < robust::kChainFlags, "pending lines out of range");
    Check(d.previousLevel == 0 || d.previousLevel == 1, "previous level not 0 or 1");
}

void CheckState(const Chain& chain)
{
    CheckDecoder(chain.decoder);
    const BitClockState& c = chain.clock;
    Check(c.clockPhase >= 0.0 && c.clockPhase < 100.0, "clock phase out of 0..100");
    Check(c.previousSampleBit == 0 || c.previousSampleBit == 1, "previous sample bit not 0 or 1");
    const LevelTrackerState& t = chain.tracker;
    Check(t.dcLevel >= 0.0 && t.dcLevel <= 255.0, "dc level out of 0..255");
    Check(t.sliceThreshold >= 0 && t.sliceThreshold <= 255, "slice threshold out of 0..255");
}

// The robust receiver's loops stay within their clamps and finite: the next
// interpolant between the last samples, the clock offset and correction
// inside their limits.
void CheckState(const Robust& receiver)
{
    CheckDecoder(receiver.decoder);
    const RobustReceiverState& s = receiver.state;
    Check(s.interpolator.nextAt >= -1.0 && s.interpolator.nextAt <= 0.5 * 4 * (1.0 + robust::kMaxCorrection) - 1.0,
          "next interpolant not within the next half bit");
    Check(std::abs(s.loop.clockOffset) <= robust::kMaxClockOffset, "clock offset beyond its clamp");
    Check(std::abs(s.loop.correction) <= robust::kMaxCorrection, "correction beyond its clamp");
    Check(std::isfinite(s.model.Baseline()) && std::abs(s.model.Baseline()) <= 256.0,
          "baseline not finite or beyond the levels");
    Check(s.model.shares[1] >= robust::kMinAmplitude && std::isfinite(s.squelch.power),
          "amplitude or power out of range");
    Check(std::ranges::all_of(s.model.shares, [](double w) { return std::isfinite(w); }) &&
              std::ranges::all_of(s.model.tailShares, [](double w) { return std::isfinite(w); }),
          "a share is not finite");
}

bool SameState(const Chain& a, const Chain& b)
{
    return a.decoder == b.decoder && static_cast<const BitClockState&>(a.clock) == b.clock &&
           static_cast<const LevelTrackerState&>(a.tracker) == b.tracker;
}

bool SameState(const Robust& a, const Robust& b)
{
    return a.decoder == b.decoder && a.state == b.state;
}

// Chunk lengths from 0 (an empty chunk) to 1023, spread by the chunking
// byte, each handed to take.
template <class Take>
void InChunks(std::span<const std::uint8_t> samples, unsigned chunking, Take take)
{
    std::uint32_t state = chunking * 2654435761u + 1u;
    while (!samples.empty()) {
        state = state * 1664525u + 1013904223u;
        const std::size_t length = std::min<std::size_t>(samples.size(), (state >> 16) % (chunking % 4 == 0 ? 8 : 1024));
        take(samples.first(length));
        samples = samples.subspan(length);
    }
}

template <class Receiver>
void ReceiveInChunks(Receiver& chain, std::span<const std::uint8_t> samples, unsigned chunking)
{
    InChunks(samples, chunking, [&](std::span<const std::uint8_t> chunk) {
        chain.Receive(chunk);
        CheckState(chain);
    });
}

// One receiver type: the whole input against the chunked one.
template <class Receiver>
void RunBoth(unsigned control, unsigned chunking, const std::span<const std::uint8_t> (&parts)[2], const char* name)
{
    CheckedView wholeView;
    CheckedView chunkedView;
    Receiver whole(wholeView);
    Receiver chunked(chunkedView);
    for (int part = 0; part < 2; ++part) {
        const std::int32_t samplesPerBit = SamplesPerBitOf(part == 0 ? control : control >> 2);
        whole.SetSamplesPerBit(samplesPerBit);
        chunked.SetSamplesPerBit(samplesPerBit);
        whole.Receive(parts[part]);
        CheckState(whole);
        ReceiveInChunks(chunked, parts[part], chunking);
    }

    if (!(wholeView.lines == chunkedView.lines && wholeView.resets == chunkedView.resets &&
          wholeView.digest == chunkedView.digest)) {
        std::fprintf(stderr, "%s receiver: ", name);
        Fail("chunked input stored other lines than the same input in one piece");
    }
    if (!SameState(whole, chunked)) {
        std::fprintf(stderr, "%s receiver: ", name);
        Fail("chunked input left another state than the same input in one piece");
    }
    if (!(wholeView.view.receivedPicture == chunkedView.view.receivedPicture &&
          wholeView.view.pictureRow == chunkedView.view.pictureRow)) {
        std::fprintf(stderr, "%s receiver: ", name);
        Fail("chunked input left another picture than the same input in one piece");
    }
}

// The bit-rate finder: the same preambles, whole or chunked, each where
// the samples are.
void FindRatesBoth(std::span<const std::uint8_t> samples, unsigned chunking)
{
    RateFinder whole;
    RateFinder chunked;
    whole.Find(samples);
    InChunks(samples, chunking, [&](std::span<const std::uint8_t> chunk) { chunked.Find(chunk); });
    Check(whole.found.size() == chunked.found.size(), "chunked input found other preambles");
    for (std::size_t i = 0; i < whole.found.size(); ++i) {
        const RateFinder::Preamble& a = whole.found[i];
        const RateFinder::Preamble& b = chunked.found[i];
        Check(a.windowStart == b.windowStart && a.samplesPerBit == b.samplesPerBit,
              "chunked input found a preamble elsewhere");
        Check(a.windowStart >= 0 && a.windowStart < static_cast<std::int64_t>(samples.size()),
              "a preamble outside the samples");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const unsigned control = data[0];
    const unsigned chunking = data[1];
    const std::span<const std::uint8_t> samples(data + 2, size - 2);
    const std::size_t switchAt = (control >> 4) == 0 ? samples.size() : samples.size() * (control >> 4) / 16;
    const std::span<const std::uint8_t> parts[2] = {samples.first(switchAt), samples.subspan(switchAt)};

    RunBoth<Chain>(control, chunking, parts, "exact");
    RunBoth<Robust>(control, chunking, parts, "robust");
    FindRatesBoth(samples, chunking);
    return 0;
}
