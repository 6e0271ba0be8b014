#pragma once
// A simulated path between two stations: the transmitted samples as the
// receiving sound card delivers them after a radio channel.
//
// In order: the receiver's sampling phase and sample-clock mismatch (both
// band-limited), an echo, the radio's audio filters, white Gaussian noise,
// then at the receiver gain, polarity and DC offset, and last the 8-bit
// (or 16-bit) reduction with clipping.

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
    // A linear-phase FIR band-pass between these corners (kBandPassTaps,
    // Hamming-windowed sinc); 0: left out.
    double firLowHz = 0.0;
    double firHighHz = 0.0;
    // A second path echoMs later at echoGain of the direct one's amplitude
    // (rounded to whole samples); 0: none.
    double echoMs = 0.0;
    double echoGain = 0.0;
};

// 255 taps (11.5 ms): transition bands about 3.3 fs / 255 = 290 Hz wide,
// stop bands 53 dB down (Hamming window), as a radio's digital voice
// filter; the delay is (255 - 1) / 2 samples.
constexpr int kBandPassTaps = 255;

// A radio's voice audio path.
constexpr double kVoiceHighPassHz = 300.0;
constexpr double kVoiceLowPassHz = 3000.0;
// A digital radio's voice filter, linear-phase.
constexpr double kVoiceFirLowHz = 300.0;
constexpr double kVoiceFirHighHz = 3400.0;

// Unsigned 8-bit samples (128 = zero level) through the channel; the noise
// comes from noiseSeed. Throws std::runtime_error if resampling fails.
std::vector<std::uint8_t> PassThroughChannel(std::span<const std::uint8_t> sent, const ChannelSettings& settings,
                                             std::uint64_t noiseSeed);

// The same as signed 16-bit samples (full scale 128 levels), as a 16-bit
// sound card or recording delivers them.
std::vector<std::int16_t> PassThroughChannel16(std::span<const std::uint8_t> sent, const ChannelSettings& settings,
                                               std::uint64_t noiseSeed);
