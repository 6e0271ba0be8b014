#include "rx/rate_finder.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Agreement a window's best phase needs, in percent of its samples. Random
// data agrees at 50 % +- 5 (96 to 112 independent bits a phase), so 80 %
// is 6 standard deviations away; a band-limited channel's slicing errors
// keep the flags' agreement well below 100 %.
constexpr int kAgreeingPercent = 80;
// At 4 samples per bit, the most the window may agree at 2 samples per bit:
// random data agrees at 50 % there, the alias's fading edge far more.
constexpr int kAliasPercent = 70;
// Sign changes each word of a window needs to be a signal: one every 4 bits
// at 4 samples per bit (scrambled data changes every 2 bits on average).
// Silence and hum agree with themselves at every rate.
constexpr int kMinChangesPerWord = 4;
// The share of a window's samples either side of the DC level that a
// signal needs, in percent: scrambled bits are ones half the time, so a
// window's 96 to 112 bits hold 50 % +- 5 ones, and 25 % is 5 standard
// deviations away. Dither about silence slices to about 12 % at one side.
constexpr int kMinSidePercent = 25;
// The slicer's DC level follows the mean of each word with this step: a
// time constant of 16 words, 1024 samples (46 ms); so does the edge
// slicer's mean change.
constexpr double kDcStep = 1.0 / 16.0;
// The edge slicer's threshold, of the mean change over two samples, which
// the edges dominate. Measured through the simulator's 300 Hz - 3 kHz
// voice band at SNR 20 and 25 dB, 24 transmissions each: at 0.3 it finds
// 23 and 24 at 4 samples per bit, 22 and 24 at 3; at 0.5, 21 and 19, 14
// and 16; none at a wrong rate, nor in noise.
constexpr double kEdgeShare = 0.3;

// Samples lag behind the current word's (bit i of a word is sample
// 64 k + i): bit i of the result is the sample lag before bit i of words[0],
// taken from words[1] and words[2] where it falls before. 0 < lag < 128.
std::uint64_t Lagged(std::uint64_t current, std::uint64_t previous, std::uint64_t beforeThat, int lag)
{
    if (lag < 64) return (current << lag) | (previous >> (64 - lag));
    if (lag == 64) return previous;
    return (previous << (lag - 64)) | (beforeThat >> (128 - lag));
}

// Set bits of a word. std::popcount is a library call where the target
// has no population count instruction (plain x86-64); this is inline.
int Ones(std::uint64_t word)
{
#ifdef __POPCNT__
    return std::popcount(word);
#else
    word -= (word >> 1) & 0x5555555555555555u;
    word = (word & 0x3333333333333333u) + ((word >> 2) & 0x3333333333333333u);
    word = (word + (word >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int>((word * 0x0101010101010101u) >> 56);
#endif
}

// Bits i of a word with i mod 3 == 0.
constexpr std::uint64_t kEveryThird = 0x9249249249249249u;

// At 3 samples per bit a word's first sample has phase first (64 is 1 mod
// 3, so each word starts one phase on): the bits of the samples of each
// phase by first and phase; and the samples of each phase in a whole window
// of WindowWords(3) = 5 words, by the first of the word after it (22 for
// the phase of a word's bits 0, 3, ... 63, 21 for the others).
struct ThirdsOfAWord {
    std::array<std::array<std::uint64_t, 3>, 3> mask{};
    std::array<std::array<int, 3>, 3> inWindow{};
};
constexpr ThirdsOfAWord kThirds = [] {
    ThirdsOfAWord thirds;
    for (int first = 0; first < 3; ++first) {
        for (int phase = 0; phase < 3; ++phase) {
            thirds.mask[first][phase] = kEveryThird << ((phase - first + 3) % 3);
            for (int back = 1; back <= RateFinder::WindowWords(3); ++back) {
                const int wordFirst = ((first - back) % 3 + 3) % 3;
                thirds.inWindow[first][phase] += (phase - wordFirst + 3) % 3 == 0 ? 22 : 21;
            }
        }
    }
    return thirds;
}();

// The bits of a word whose samples have phase (sample mod n) phase.
std::uint64_t PhaseMask(std::int32_t n, int phase, int first)
{
    switch (n) {
    case 2:
        return 0x5555555555555555u << phase;
    case 3:
        return kThirds.mask[first][phase];
    default:
        return 0x1111111111111111u << phase;
    }
}

// The samples of phase in a whole window at n samples per bit, where the
// word after it starts at phase next.
int WindowSamples(std::int32_t n, int phase, int next)
{
    return n == 3 ? kThirds.inWindow[next][phase] : RateFinder::WindowWords(n) * 64 / n;
}

// A word's 64 samples sliced against threshold, one bit each (1: above),
// the first sample lowest; sum becomes their sum.
#ifdef __SSE2__
// Sixteen samples at a time (SSE2 is part of every x86-64): compared as
// signed bytes once both sides are shifted by 128, the comparison's top bits
// gathered by movemask, and summed by sums of absolute differences from 0.
std::uint64_t Slice(const std::uint8_t* samples, std::uint8_t threshold, int& sum)
{
    const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i level = _mm_set1_epi8(static_cast<char>(threshold ^ 0x80));
    __m128i sums = _mm_setzero_si128();
    std::uint64_t sliced = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 16 * i));
        sums = _mm_add_epi64(sums, _mm_sad_epu8(bytes, _mm_setzero_si128()));
        const __m128i above = _mm_cmpgt_epi8(_mm_xor_si128(bytes, shift), level);
        sliced |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(above))) << (16 * i);
    }
    // Each half holds the sum of 32 samples, at most 8160.
    sum = _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
    return sliced;
}
#else
std::uint64_t Slice(const std::uint8_t* samples, std::uint8_t threshold, int& sum)
{
    // Compared and summed a byte a sample, which the compiler vectorises.
    std::array<std::uint8_t, 64> above{};
    sum = 0;
    for (int i = 0; i < 64; ++i) {
        above[i] = samples[i] > threshold ? 1 : 0;
        sum += samples[i];
    }
    std::uint64_t sliced = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight 0/1 bytes into eight bits, the first byte lowest: the
        // multiplication gathers them in the top byte without carries.
        for (int i = 0; i < 8; ++i) {
            std::uint64_t bytes;
            std::memcpy(&bytes, above.data() + 8 * i, 8);
            sliced |= ((bytes * 0x0102040810204080u) >> 56) << (8 * i);
        }
    } else {
        for (int i = 0; i < 64; ++i) sliced |= static_cast<std::uint64_t>(above[i]) << i;
    }
    return sliced;
}
#endif

}  // namespace

void RateFinder::Find(std::span<const std::uint8_t> samples)
{
    std::size_t at = 0;
    // Whole words straight from the samples, the rest through the partial
    // word.
    while (at < samples.size()) {
        if (pendingCount_ == 0 && samples.size() - at >= 64) {
            TakeWord(samples.data() + at);
            at += 64;
            continue;
        }
        const std::size_t count = std::min<std::size_t>(64 - pendingCount_, samples.size() - at);
        std::copy_n(samples.data() + at, count, pending_.data() + pendingCount_);
        pendingCount_ += static_cast<int>(count);
        at += count;
        if (pendingCount_ == 64) {
            TakeWord(pending_.data());
            pendingCount_ = 0;
            pending_.fill(0);  // nothing of it left, so equal states compare equal
        }
    }
}

// A change over two samples beyond the threshold sets the level to its
// sign; the first threshold, before any mean, is one level.
std::uint64_t RateFinder::EdgeSlicer::Slice(const std::uint8_t* samples)
{
    const int threshold = static_cast<int>(kEdgeShare * meanChange) + 1;
    int changes = 0;
    std::uint64_t sliced = 0;
    for (int i = 0; i < 64; ++i) {
        const int sample = samples[i];
        const int change = sample - previous[0];
        previous = {previous[1], sample};
        changes += change < 0 ? -change : change;
        level = change > threshold ? 1 : change < -threshold ? 0 : level;
        sliced |= static_cast<std::uint64_t>(level) << i;
    }
    meanChange += (changes / 64.0 - meanChange) * kDcStep;
    return sliced;
}

void RateFinder::TakeWord(const std::uint8_t* samples)
{
    const auto threshold = static_cast<std::uint8_t>(std::floor(dcLevel_));
    int sum = 0;
    std::int32_t rate = WindowRate(plain_, Slice(samples, threshold, sum));
    dcLevel_ += (sum / 64.0 - dcLevel_) * kDcStep;
    if (withEdges_) {
        const std::int32_t edgeRate = WindowRate(edges_, edgeSlicer_.Slice(samples));
        if (rate == 0) rate = edgeRate;
    }
    slot_ = (slot_ + 1) % kMaxWindowWords;
    first_ = (first_ + 1) % 3;
    ++words_;

    // A window that fails for a word or two amid the flags (noise, a
    // sampling phase on the bits' edges) is still the same preamble.
    const bool samePreamble = rate == lastFoundRate_ && (words_ - lastFoundWord_) * 64 <= 160 * rate;
    if (rate != 0 && rate != lastRate_ && !samePreamble) {
        found.push_back({(words_ - WindowWords(rate)) * 64, rate});
        ++counts_[Index(rate)];
        lastFoundRate_ = rate;
        lastFoundWord_ = words_;
    }
    lastRate_ = rate;
}

std::int64_t RateFinder::Count(std::int32_t samplesPerBit) const { return counts_[Index(samplesPerBit)]; }

// One rate's share of a word: its agreeing samples by phase, in the word's
// counts and in the window's sums, less those of the word leaving the
// window. N is a constant here, so every lag and phase is.
template <std::int32_t N>
void RateFinder::CountRate(Stream& stream, std::uint64_t sliced, WordCounts& counts, const WordCounts& leaving)
{
    constexpr int r = Index(N);
    Sums& sums = stream.sums[r];
    const bool full = words_ >= WindowWords(N);
    if (full) {
        sums.quietWords -= leaving.changes < kMinChangesPerWord ? 1 : 0;
        sums.ones -= leaving.ones;
    }
    sums.quietWords += counts.changes < kMinChangesPerWord ? 1 : 0;
    sums.ones += counts.ones;
    const std::uint64_t level = sliced ^ Lagged(sliced, stream.sliced[0], stream.sliced[1], 12 * N) ^
                                Lagged(sliced, stream.sliced[0], stream.sliced[1], 17 * N);
    const std::uint64_t agreeing = ~(level ^ Lagged(level, stream.descrambled[r], 0, 8 * N));
    stream.descrambled[r] = level;
    for (int phase = 0; phase < N; ++phase) {
        if (full) sums.agreeing[phase] -= leaving.agreeing[r][phase];
        counts.agreeing[r][phase] = Ones(agreeing & PhaseMask(N, phase, counts.first));
        sums.agreeing[phase] += counts.agreeing[r][phase];
    }
}

std::int32_t RateFinder::WindowRate(Stream& stream, std::uint64_t sliced)
{
    WordCounts& counts = stream.window[slot_];
    // The windows at 2 and 3 are shorter than the ring, so the words leaving
    // them are other slots than counts; the window at 4 is the whole ring.
    const WordCounts& leaving2 = stream.window[(slot_ + kMaxWindowWords - WindowWords(2)) % kMaxWindowWords];
    const WordCounts& leaving3 = stream.window[(slot_ + kMaxWindowWords - WindowWords(3)) % kMaxWindowWords];
    const WordCounts leaving4 = counts;
    counts.first = first_;
    counts.changes = Ones(sliced ^ Lagged(sliced, stream.sliced[0], stream.sliced[1], 1));
    counts.ones = Ones(sliced);
    CountRate<2>(stream, sliced, counts, leaving2);
    CountRate<3>(stream, sliced, counts, leaving3);
    CountRate<4>(stream, sliced, counts, leaving4);
    stream.sliced = {sliced, stream.sliced[0]};
    // This word counted: the window's words and the next word's phase.
    const std::int64_t words = words_ + 1;
    const int first = (first_ + 1) % 3;

    // Whether a rate's best phase agrees for at least percent of its
    // samples, in a window that changes often enough and slices to both
    // sides enough to be a signal.
    const auto agrees = [&](std::int32_t n, int percent) {
        const Sums& sums = stream.sums[Index(n)];
        const int samples = WindowWords(n) * 64;
        const int side = std::min(sums.ones, samples - sums.ones);
        if (words < WindowWords(n) || sums.quietWords > 0 || side * 100 < kMinSidePercent * samples) return false;
        for (int phase = 0; phase < n; ++phase)
            if (sums.agreeing[phase] * 100 >= percent * WindowSamples(n, phase, first)) return true;
        return false;
    };
    const bool fastFlags = agrees(2, kAgreeingPercent);
    if (fastFlags) stream.lastFastFlags = words;
    // The fastest rate that passes. At 4, not the alias of 2 samples per
    // bit: a window that reaches back to where 2 passed, or while 2 is still
    // well above random.
    if (fastFlags) return 2;
    if (agrees(3, kAgreeingPercent)) return 3;
    if (words - stream.lastFastFlags > WindowWords(4) && !agrees(2, kAliasPercent) && agrees(4, kAgreeingPercent))
        return 4;
    return 0;
}
