#include "rx/robust/echo_canceller.hpp"

#include <algorithm>
#include <cmath>

#include "common/samples.hpp"

namespace robust {

EchoCanceller::Design EchoCanceller::MakeDesign(std::int32_t samplesPerBit)
{
    const double bitsPerSecond = static_cast<double>(kSampleRate) / samplesPerBit;
    // The taps may sit one lag past the last one searched: the history must hold it.
    constexpr int kLongestLag = kEchoSpan - kEchoTaps - 2;
    Design d;
    d.lastLag = std::min(static_cast<int>(std::floor(kMaxEchoMs * 1e-3 * bitsPerSecond)), kLongestLag);
    return d;
}

void EchoCanceller::Verdict(double amplitude)
{
    const int lags = design.lastLag - kFirstEchoLag + 1;
    const double count = searchCount;
    std::array<double, kEchoSpan> mean{}, magnitude{};
    for (int i = 0; i < lags; ++i) {
        mean[i] = correlation[i] / count;
        magnitude[i] = std::abs(mean[i]);
    }
    int best = 0;
    for (int i = 1; i + 1 < lags; ++i)
        if (magnitude[i] + magnitude[i + 1] > magnitude[best] + magnitude[best + 1]) best = i;
    const double peak = std::max(magnitude[best], magnitude[best + 1]);
    const double standardError = std::sqrt(errorEnergy / count / count);
    std::nth_element(magnitude.begin(), magnitude.begin() + lags / 2, magnitude.begin() + lags);
    const double median = magnitude[lags / 2];

    const bool found = peak >= kEchoSigmas * standardError && peak >= kMinEchoShare * amplitude &&
                       peak >= kEchoPeakRatio * median;
    // Lags best and best + 1 against the taps' first lag.
    const int pairLag = kFirstEchoLag + best;
    const bool inWindow = firstTapLag != 0 && pairLag >= firstTapLag && pairLag + 1 < firstTapLag + kEchoTaps;
    double held = 0.0;
    for (double tap : taps) held = std::max(held, std::abs(tap));
    if (found && !inWindow && peak > held) {
        firstTapLag = std::clamp(pairLag - 1, kFirstEchoLag, design.lastLag + 2 - kEchoTaps);
        for (int i = 0; i < kEchoTaps; ++i) {
            const int index = firstTapLag + i - kFirstEchoLag;
            taps[i] = index < lags ? mean[index] : 0.0;
        }
    }
    correlation = {};
    errorEnergy = 0.0;
    searchCount = 0;
}

}  // namespace robust
