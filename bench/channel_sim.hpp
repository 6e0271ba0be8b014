#pragma once
// A simulated path between two stations: the transmitted samples as the
// receiving sound card delivers them after a radio channel.
//
// In order: the receiver's sampling phase and sample-clock mismatch (both
// band-limited), the radio's audio filters, white Gaussian noise, then at
// the receiver gain, polarity and DC offset, and last the 8-bit reduction
// with clipping.

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

// Peak deviation of the transmitted signal from the zero level (78 / 178).
constexpr double kPeakSignal = 50.0;

struct ChannelSettings {
    // 20 log10(kPeakSignal / noise standard deviation); infinite: no noise.
    double snrDb = std::numeric_limits<double>::infinity();
    // The receiver's sample clock against the transmitter's, in parts per
    // million: positive means the receiver takes more samples per bit.
    double ppm = 0.0;
    // The receiver samples this fraction of a sample later than the
    // transmitter's instants (0 to 1).
    double samplingPhase = 0.0;
    double dcOffset = 0.0;  // levels, added at the receiver
    double gain = 1.0;
    bool inverted = false;  // polarity flipped about the zero level
    // Corners of a second-order Butterworth high-pass and low-pass (each one
    // bilinear-transform biquad); 0: that filter is left out.
    double highPassHz = 0.0;
    double lowPassHz = 0.0;
};

// A radio's voice audio path.
constexpr double kVoiceHighPassHz = 300.0;
constexpr double kVoiceLowPassHz = 3000.0;

// Unsigned 8-bit samples (128 = zero level) through the channel; the noise
// comes from noiseSeed. Throws std::runtime_error if resampling fails.
std::vector<std::uint8_t> PassThroughChannel(std::span<const std::uint8_t> sent, const ChannelSettings& settings,
                                             std::uint64_t noiseSeed);
