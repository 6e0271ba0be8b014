#include "channel_sim.hpp"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>

#include "common/samples.hpp"
#include "sample_input.hpp"

namespace {

// Direct form I biquad from the audio EQ cookbook formulas, Q = 1/sqrt(2).
class Biquad {
public:
    static Biquad HighPass(double cornerHz) { return Make(cornerHz, true); }
    static Biquad LowPass(double cornerHz) { return Make(cornerHz, false); }

    double Filter(double x)
    {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    static Biquad Make(double cornerHz, bool highPass)
    {
        const double w0 = 2.0 * std::numbers::pi * cornerHz / kSampleRate;
        const double alpha = std::sin(w0) / std::numbers::sqrt2;  // sin(w0) / 2Q
        const double c = std::cos(w0);
        const double a0 = 1.0 + alpha;
        Biquad q;
        q.b0_ = (highPass ? (1.0 + c) : (1.0 - c)) / 2.0 / a0;
        q.b1_ = (highPass ? -(1.0 + c) : (1.0 - c)) / a0;
        q.b2_ = q.b0_;
        q.a1_ = -2.0 * c / a0;
        q.a2_ = (1.0 - alpha) / a0;
        return q;
    }

    double b0_ = 1.0, b1_ = 0.0, b2_ = 0.0, a1_ = 0.0, a2_ = 0.0;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

// The whole signal at the ratio (output rate / input rate), band-limited.
std::vector<double> Resample(const std::vector<double>& in, double ratio)
{
    std::vector<float> input(in.begin(), in.end());
    std::vector<float> output(static_cast<std::size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) + 256);
    SRC_DATA data{};
    data.data_in = input.data();
    data.input_frames = static_cast<long>(input.size());
    data.data_out = output.data();
    data.output_frames = static_cast<long>(output.size());
    data.src_ratio = ratio;
    if (const int status = src_simple(&data, SRC_SINC_BEST_QUALITY, 1); status != 0)
        throw std::runtime_error(std::string("resampling failed: ") + src_strerror(status));
    if (data.input_frames_used != data.input_frames) throw std::runtime_error("resampling left input unused");
    return {output.begin(), output.begin() + data.output_frames_gen};
}

// Each output sample taken samplingPhase (0 to 1) of a sample later: a
// Blackman-windowed sinc over 64 input samples.
std::vector<double> Delay(const std::vector<double>& in, double samplingPhase)
{
    constexpr int kHalf = 32;
    double taps[2 * kHalf];
    for (int k = -kHalf + 1; k <= kHalf; ++k) {
        const double t = samplingPhase - k;  // distance of input k from the output instant
        const double x = std::numbers::pi * t;
        const double sinc = t == 0.0 ? 1.0 : std::sin(x) / x;
        const double window = 0.42 + 0.5 * std::cos(x / kHalf) + 0.08 * std::cos(2.0 * x / kHalf);
        taps[k + kHalf - 1] = sinc * window;
    }
    std::vector<double> out(in.size(), 0.0);
    const auto size = static_cast<long>(in.size());
    for (long n = 0; n < size; ++n) {
        double sum = 0.0;
        for (long k = std::max(-kHalf + 1L, -n); k <= std::min<long>(kHalf, size - 1 - n); ++k)
            sum += taps[k + kHalf - 1] * in[static_cast<std::size_t>(n + k)];
        out[static_cast<std::size_t>(n)] = sum;
    }
    return out;
}

// The linear-phase band-pass: the difference of two windowed-sinc low-passes,
// Hamming window, unit gain at the pass band's centre.
std::vector<double> BandPass(const std::vector<double>& in, double lowHz, double highHz)
{
    constexpr int kHalf = (kBandPassTaps - 1) / 2;
    double taps[kBandPassTaps];
    const double low = lowHz / kSampleRate, high = highHz / kSampleRate;  // cycles per sample
    const auto lowPass = [](double corner, int m) {
        return m == 0 ? 2.0 * corner : std::sin(2.0 * std::numbers::pi * corner * m) / (std::numbers::pi * m);
    };
    for (int n = 0; n < kBandPassTaps; ++n) {
        const int m = n - kHalf;
        const double window = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * n / (kBandPassTaps - 1));
        taps[n] = window * (lowPass(high, m) - lowPass(low, m));
    }
    // Normalised to unit gain at the geometric centre of the pass band.
    const double centre = 2.0 * std::numbers::pi * std::sqrt(low * high);
    double re = 0.0, im = 0.0;
    for (int n = 0; n < kBandPassTaps; ++n) {
        re += taps[n] * std::cos(centre * n);
        im += taps[n] * std::sin(centre * n);
    }
    const double gain = std::hypot(re, im);
    std::vector<double> out(in.size(), 0.0);
    for (std::size_t i = 0; i < in.size(); ++i) {
        double sum = 0.0;
        for (int n = 0; n < kBandPassTaps && static_cast<std::size_t>(n) <= i; ++n) sum += taps[n] * in[i - static_cast<std::size_t>(n)];
        out[i] = sum / gain;
    }
    return out;
}

}  // namespace

namespace {

// The channel's output in 8-bit levels about the zero level, before any
// reduction to a sample format.
std::vector<double> ChannelLevels(std::span<const std::uint8_t> sent, const ChannelSettings& settings,
                                  std::uint64_t noiseSeed)
{
    std::vector<double> signal(sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) signal[i] = static_cast<double>(sent[i]) - kZeroLevel;

    if (settings.samplingPhase != 0.0) signal = Delay(signal, settings.samplingPhase);
    if (settings.ppm != 0.0) signal = Resample(signal, 1.0 + settings.ppm * 1e-6);
    if (settings.echoMs > 0.0) {
        const auto delay = static_cast<std::size_t>(std::lround(settings.echoMs * 1e-3 * kSampleRate));
        for (std::size_t i = signal.size(); i-- > delay;) signal[i] += settings.echoGain * signal[i - delay];
    }
    if (settings.highPassHz > 0.0) {
        Biquad highPass = Biquad::HighPass(settings.highPassHz);
        for (double& x : signal) x = highPass.Filter(x);
    }
    if (settings.lowPassHz > 0.0) {
        Biquad lowPass = Biquad::LowPass(settings.lowPassHz);
        for (double& x : signal) x = lowPass.Filter(x);
    }
    if (settings.firHighHz > 0.0) signal = BandPass(signal, settings.firLowHz, settings.firHighHz);
    if (std::isfinite(settings.snrDb)) {
        std::mt19937_64 random(noiseSeed);
        std::normal_distribution<double> noise(0.0, kPeakSignal / std::pow(10.0, settings.snrDb / 20.0));
        for (double& x : signal) x += noise(random);
    }

    const double polarity = settings.inverted ? -1.0 : 1.0;
    for (double& x : signal) x = polarity * settings.gain * x + settings.dcOffset;
    return signal;
}

}  // namespace

std::vector<std::uint8_t> PassThroughChannel(std::span<const std::uint8_t> sent, const ChannelSettings& settings,
                                             std::uint64_t noiseSeed)
{
    const std::vector<double> levels = ChannelLevels(sent, settings, noiseSeed);
    std::vector<std::uint8_t> received(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) received[i] = SampleToUnsigned8(static_cast<float>(levels[i] / 128.0));
    return received;
}

std::vector<std::int16_t> PassThroughChannel16(std::span<const std::uint8_t> sent, const ChannelSettings& settings,
                                               std::uint64_t noiseSeed)
{
    const std::vector<double> levels = ChannelLevels(sent, settings, noiseSeed);
    std::vector<std::int16_t> received(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i)
        received[i] = static_cast<std::int16_t>(std::lround(std::clamp(levels[i] * 256.0, -32768.0, 32767.0)));
    return received;
}
