#pragma once
// Which of the three bit rates a signal is sent at, found from the flags
// that open each transmission, without recovering any bit clock.
//
// Descrambling is a fixed function of the channel bits: the line level is
// c(n) ^ c(n-12) ^ c(n-17). Sliced samples taken N, 12 N and 17 N samples
// apart (N samples per bit) give it at every sample, at whatever sampling
// phase. In the preamble's flags (0x7E back to back, NRZI) the line level
// repeats every 8 bits: seven bits of one level, one of the other. So at the
// right N the descrambled samples agree with those 8 N samples earlier; at
// a wrong N they are random, and so are scrambled data and noise.
//
// Samples are sliced against a running DC level into words of 64 bits, one
// bit a sample, and every test runs on whole words (shifts, exclusive ors,
// population counts): a small fraction of the receivers' work per sample.
// Agreement is counted for each sampling phase apart (samples t with the
// same t mod N meet the pulse alike), since at 3 samples per bit one phase
// falls on the bits' edges at the zero level. A window of WindowWords(N)
// words is a flag preamble at rate N when one phase agrees for at least
// 80 % of its samples and every word of it changes sign often enough to be
// a signal at all (silence and hum agree with themselves), and the window
// slices to about as many ones as zeros, as a signal about its DC level
// does (a quiet input's dither, a step either side of silence, slices
// mostly to one side, and then its descrambled samples agree far above 50 %).

// Through an AC-coupled channel (a radio's 300 Hz high-pass) runs of equal
// bits droop toward the DC level and slice as the other level, so that the
// flags no longer agree, and at another rate's lags the errors can. With
// edges, the samples are also sliced by their edges: a change over two
// samples of more than a share of the mean change (kEdgeShare) sets the
// level to its sign, which holds until the next such change; a droop is
// slower than an edge. Noise makes edges of its own, so the plain slicer
// stays for noisy channels: a window is a preamble at a rate when either
// slicing finds it there (the plain one first).
//
// One alias: at N = 2 the descrambler applied at N = 4 gives the line level
// filtered by 1 + x^12 + x^17 (the lags doubled), which repeats every 8 bits
// too. So the fastest rate that passes is the one, and 4 does not count
// while 2 has passed within 4's window or still agrees far above random: a
// real N = 4 preamble agrees at random at N = 2.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class RateFinder {
public:
    static constexpr std::int32_t kRates[] = {2, 3, 4};  // samples per bit, fastest first
    // The window at each rate: the longest whole number of words that fits
    // within the 20 flags (160 N samples) wherever word boundaries fall,
    // less the first 25 N samples, whose agreement reaches back before
    // them: 3, 5 and 7 words at 2, 3 and 4 samples per bit.
    static constexpr int WindowWords(std::int32_t samplesPerBit) { return (135 * samplesPerBit - 63) / 64; }
    static constexpr int kMaxWindowWords = 7;

    // withEdges: also slice by edges (above), at about twice the work.
    explicit RateFinder(bool withEdges = false) : withEdges_(withEdges) {}

    // A window of flags: where it began (samples from the first sample
    // given) and its rate.
    struct Preamble {
        std::int64_t windowStart;
        std::int32_t samplesPerBit;

        bool operator==(const Preamble&) const = default;
    };

    // Samples as recorded, in order, in chunks of any size. Each time
    // preamble windows begin at a rate (none at the window before, or
    // another rate), a Preamble is added to found.
    void Find(std::span<const std::uint8_t> samples);

    // Taken by the caller as it goes.
    std::vector<Preamble> found;

    // Preamble windows that began at each rate, counted up to now.
    std::int64_t Count(std::int32_t samplesPerBit) const;

    // Each rate's place in per-rate arrays.
    static constexpr int Index(std::int32_t samplesPerBit) { return samplesPerBit - 2; }

    bool operator==(const RateFinder&) const = default;

private:
    // Per word of the window: sign changes, and for each rate and phase
    // the agreeing samples.
    struct WordCounts {
        int first = 0;  // the phase of its first sample at 3 samples per bit
        int changes = 0;
        int ones = 0;  // samples sliced high
        std::array<std::array<int, 4>, 3> agreeing{};

        bool operator==(const WordCounts&) const = default;
    };
    // Each rate's window summed.
    struct Sums {
        int quietWords = 0;  // with too few sign changes to be a signal
        int ones = 0;
        std::array<int, 4> agreeing{};

        bool operator==(const Sums&) const = default;
    };
    // One slicing's words and windows.
    struct Stream {
        // The two words of sliced samples before the current one, and the
        // word of descrambled ones before it at each rate.
        std::array<std::uint64_t, 2> sliced{};
        std::array<std::uint64_t, 3> descrambled{};
        std::array<WordCounts, kMaxWindowWords> window{};
        std::array<Sums, 3> sums{};
        std::int64_t lastFastFlags = -kMaxWindowWords - 1;  // the word where 2 samples per bit last passed

        bool operator==(const Stream&) const = default;
    };
    // The edge slicer's state.
    struct EdgeSlicer {
        std::array<int, 2> previous{128, 128};  // the two samples before
        int level = 0;                          // 1: high
        double meanChange = 0.0;                // mean |change over two samples|, levels

        std::uint64_t Slice(const std::uint8_t* samples);
        bool operator==(const EdgeSlicer&) const = default;
    };

    void TakeWord(const std::uint8_t* samples);
    // The rate whose flags the window ending with this word shows, 0: none.
    std::int32_t WindowRate(Stream& stream, std::uint64_t sliced);
    template <std::int32_t N>
    void CountRate(Stream& stream, std::uint64_t sliced, WordCounts& counts, const WordCounts& leaving);

    bool withEdges_;
    // The samples of a word not yet whole.
    std::array<std::uint8_t, 64> pending_{};
    int pendingCount_ = 0;
    double dcLevel_ = 128.0;
    EdgeSlicer edgeSlicer_;

    std::int64_t words_ = 0;  // whole words seen
    int slot_ = 0;            // words_ mod kMaxWindowWords: the next word's place in the window
    int first_ = 0;           // words_ mod 3: the phase of the next word's first sample at 3
    Stream plain_, edges_;
    std::int32_t lastRate_ = 0;        // the rate of the window before, 0: none
    std::int32_t lastFoundRate_ = 0;   // of the latest Preamble
    std::int64_t lastFoundWord_ = 0;   // the word that found it
    std::array<std::int64_t, 3> counts_{};
};
