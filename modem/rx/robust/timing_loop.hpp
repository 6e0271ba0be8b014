#pragma once
// Loop filter (Rice, Digital Communications, app. C): per bit
//   d = K1 e_t + I,  I += K2 e_t,
// and the next strobe comes N (1 - d) samples after this one (NCO gain
// K0 = 1 bit per bit). With theta = Bn T / (zeta + 1 / (4 zeta)):
//   K_p K1 = 4 zeta theta / (1 + 2 zeta theta + theta^2)
//   K_p K2 = 4 theta^2   / (1 + 2 zeta theta + theta^2)
// Bn T = kLoopBandwidth = 0.01 (noise bandwidth 1 % of the bit rate: the
// loop averages over about 1 / (2 Bn T) = 50 bits, and locks within the
// preamble), zeta = 1/sqrt 2. The integrator holds the clock mismatch in
// bits per bit; its lock-in range 2 zeta omega_n, omega_n T = 2 theta, is
// about +-4000 ppm; beyond it the loop pulls in within a few lines, and
// keeps the mismatch from one transmission to the next. It is clamped to
// kMaxClockOffset, 40,000 ppm, beyond the 30,000 ppm from which even
// ReceiveChain's resynchronising clock loses most rows: an integrator
// sitting at its clamp leaves the loop no restoring force, so the clamp
// stays near the range that can be used.
// The integrator makes the loop type 2: a constant clock mismatch leaves no
// timing error, so any mismatch and sampling phase give the same strobe
// instants relative to the pulse. A strobe moves at most kMaxCorrection per
// bit, so one noise burst cannot skip a bit. While squelched the loop
// coasts at the clock offset it holds.

#include <algorithm>

namespace robust {

constexpr double kLoopBandwidth = 0.01;  // Bn T, timing loop noise bandwidth / bit rate
constexpr double kLoopDamping = 0.70710678118654752;
constexpr double kMaxClockOffset = 0.04;  // bits per bit (40,000 ppm)
constexpr double kMaxCorrection = 0.25;   // bits per bit: a strobe moves at most a quarter bit

struct TimingLoop {
    struct Design {
        double k1 = 0.0, k2 = 0.0;  // per bit of timing error, bits per bit

        bool operator==(const Design&) const = default;
    };
    // The gains for a detector of gain K_p (per bit of timing error).
    static Design MakeDesign(double detectorGain);

    Design design;
    double clockOffset = 0.0;  // I, bits per bit
    double correction = 0.0;   // d, bits per bit for the current bit

    void Update(double timingError, bool coasting)
    {
        const double k1 = coasting ? 0.0 : design.k1, k2 = coasting ? 0.0 : design.k2;
        clockOffset = std::clamp(clockOffset + k2 * timingError, -kMaxClockOffset, kMaxClockOffset);
        correction = std::clamp(k1 * timingError + clockOffset, -kMaxCorrection, kMaxCorrection);
    }

    bool operator==(const TimingLoop&) const = default;
};

}  // namespace robust
