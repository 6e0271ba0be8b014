#pragma once
// Interpolation: a cubic Lagrange (Farrow) interpolator on the matched
// filter's output z gives z at any instant between the samples, two
// instants per bit: the strobe and the midpoint. 2N = 4 and 3 samples per
// bit are well oversampled; at N = 2 the pulse has a zero at half the
// sample rate, where cubic interpolation is weakest.

#include <algorithm>
#include <cstdint>

namespace robust {

// y(mu), 0 <= mu < 1, between x0 and x1 (cubic Lagrange, Farrow form).
inline double Cubic(double xm1, double x0, double x1, double x2, double mu)
{
    const double c3 = (x2 - xm1) / 6.0 + (x0 - x1) * 0.5;
    const double c2 = (xm1 + x1) * 0.5 - x0;
    const double c1 = x1 - xm1 / 3.0 - x0 * 0.5 - x2 / 6.0;
    return ((c3 * mu + c2) * mu + c1) * mu + x0;
}

// The last four filter outputs and the instant of the next interpolant,
// alternately a strobe and a midpoint, half a bit apart as the timing loop
// corrects them.
struct Interpolator {
    std::int32_t samplesPerBit = 4;
    double history[4] = {};  // filter output z, newest first
    double nextAt = 0.0;     // next interpolant, samples after the newest (-1 .. 1.5 between samples)
    bool midpoint = false;   // whether the next interpolant is a bit's midpoint

    // A new filter output; the interpolants are then due between
    // history[2] and history[1], nextAt in -2 .. -1.
    void Push(double z)
    {
        history[3] = history[2];
        history[2] = history[1];
        history[1] = history[0];
        history[0] = z;
        nextAt -= 1.0;
    }

    bool Due() const { return nextAt < -1.0; }

    double Value() const
    {
        const double mu = std::max(nextAt + 2.0, 0.0);
        return Cubic(history[3], history[2], history[1], history[0], mu);
    }

    // The next interpolant, half a bit on; correction d in bits per bit.
    void Advance(double correction)
    {
        midpoint = !midpoint;
        nextAt += 0.5 * samplesPerBit * (1.0 - correction);
    }

    // The strobe just taken becomes a midpoint: the next interpolant, half
    // a bit on, is a strobe.
    void SlipHalfBit() { midpoint = true; }

    bool operator==(const Interpolator&) const = default;
};

}  // namespace robust
